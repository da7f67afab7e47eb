#pragma once
// The HTTP face of the service: routes, limits and the request log.
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

class FeedService;
namespace httplib {
class Server;
}

class FeedHttpServer {
public:
    // `log` receives one line per request; it must outlive the server.
    FeedHttpServer(FeedService& service, std::ostream& log, int threads);
    ~FeedHttpServer();

    // Binds `host`:`port`; port 0 picks a free one. Returns the bound port, or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop(); call after Bind.
    bool Run();
    // Stop() only ends a Run() that has started; tests wait for that first.
    void WaitUntilRunning() const;
    void Stop();

private:
    FeedService& service_;
    std::ostream& log_;
    std::mutex logMutex_;
    std::unique_ptr<httplib::Server> server_;
};

// A request target made printable for the log (control and non-ASCII bytes
// escaped, cut to `max` characters).
std::string LoggableTarget(const std::string& target, std::size_t max);
