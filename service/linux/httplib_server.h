#pragma once
// The HTTP server on Linux: cpp-httplib in front of the core's router.
// Connections wait for their request head in a head gate (head_gate.h),
// not in a worker; cpp-httplib's workers take only connections whose
// request has arrived.
#include <functional>
#include <memory>
#include <string>

#include "core/feed_router.h"

struct HttpServerOptions {
    int threads = 32;
    bool trustProxy = false;  // the client address from X-Forwarded-For
};

class FeedHttpServer {
public:
    // `log` gets one line per request, from many threads at once.
    FeedHttpServer(FeedRouter& router, std::function<void(const std::string&)> log, HttpServerOptions options);
    ~FeedHttpServer();

    // Binds `host`:`port` (an IPv6 host without brackets); port 0 picks a
    // free one. Returns the bound port, or -1 with the reason in `why`.
    int Bind(const std::string& host, int port, std::string* why = nullptr);
    // Serves until Stop(); call after Bind.
    bool Run();
    // Stop() only ends a Run() that has started; tests wait for that first.
    void WaitUntilRunning() const;
    void Stop();

    class Server;  // cpp-httplib's server with the head gate in front

private:
    FeedRouter& router_;
    std::function<void(const std::string&)> log_;
    HttpServerOptions options_;
    std::unique_ptr<Server> server_;
    int listener_ = -1;
};
