#pragma once
// The HTTP server of both programs (Linux and Windows), on Boost.Asio with
// Boost.Beast's request parser. A few network threads (one per core) carry
// every connection; no connection holds a thread while it waits. Each
// request is read whole (its head only: the service takes no bodies),
// screened (request_screen.h) and handed to the core's router, which
// decides every reply. Answers the router expects at once (cached
// documents, refusals) are made on the network thread; the rest, which may
// call the weather source, on a worker (worker_pool.h), and written back on
// the connection's own strand. Every reply goes out in one write.
// The limits of connection_policy.h hold for every connection.
#include <memory>
#include <string>
#include <vector>

#include "feed/feed_router.h"
#include "server/log_queue.h"
#include "server/server_options.h"

class FeedServer {
public:
    FeedServer(FeedRouter& router, LogQueue& log, FeedServerOptions options);
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    // Binds and listens on `host`:`port` (an IPv6 host without brackets; a
    // host name is looked up); port 0 picks a free one. Returns the port, or
    // -1 with the reason in plain words in `why`.
    int Listen(const std::string& host, int port, std::string& why);
    // Serves until Stop(), on the calling thread and the other network threads.
    void Run();
    // From any thread, also before Run() (which then returns at once).
    void Stop();
    // Connections open now.
    std::size_t Connections() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
