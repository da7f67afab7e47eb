#pragma once
// The HTTP server on Windows: one thread reads requests from every
// connection with Winsock's select() (no polling: it sleeps until a socket,
// a finished reply or the nearest deadline), and workers, started as
// requests wait for one, ask the core's router. Each connection has bounded time and memory: an idle one is
// closed after 2 s, a request must arrive whole within 5 s, an unreadable
// one gets 400 and is closed, and at the connection limit the one that has
// waited longest without progress makes room for the newest.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "core/feed_router.h"
#include "core/http_reply.h"

struct SocketServerOptions {
    int workers = 32;  // at most
    std::size_t maxConnections = 500;
    // Connections from one address waiting for a request: a new one makes
    // the longest-waiting of them go.
    std::size_t perAddress = 8;
    bool trustProxy = false;  // the client address from X-Forwarded-For
    ConnectionRules rules;
};

class SocketServer {
public:
    // `log` gets one line per request, from several threads at once.
    SocketServer(FeedRouter& router, std::function<void(const std::string&)> log, SocketServerOptions options);
    ~SocketServer();

    // Binds and listens on `host`:`port` (port 0: a free one). Returns the
    // port, or -1 with the reason in `why`. Winsock must be started.
    int Listen(const std::string& host, int port, std::string& why);

    // Serves for as long as the process runs.
    void Run();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
