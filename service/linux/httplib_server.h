#pragma once
// The HTTP server on Linux: cpp-httplib in front of the core's router.
#include <functional>
#include <memory>
#include <string>

#include "core/feed_router.h"

namespace httplib {
class Server;
}

class FeedHttpServer {
public:
    // `log` gets one line per request, from many threads at once.
    FeedHttpServer(FeedRouter& router, std::function<void(const std::string&)> log, int threads);
    ~FeedHttpServer();

    // Binds `host`:`port`; port 0 picks a free one. Returns the bound port, or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop(); call after Bind.
    bool Run();
    // Stop() only ends a Run() that has started; tests wait for that first.
    void WaitUntilRunning() const;
    void Stop();

private:
    FeedRouter& router_;
    std::function<void(const std::string&)> log_;
    std::unique_ptr<httplib::Server> server_;
};
