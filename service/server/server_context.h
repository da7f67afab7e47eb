#pragma once
// What the server's connections share (internal to server/).
#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <boost/asio/io_context.hpp>

#include "http/connection_policy.h"
#include "feed/feed_router.h"
#include "http/http_reply.h"
#include "server/server_options.h"
#include "server/log_queue.h"
#include "server/worker_pool.h"

class HttpSession;

struct ServerContext {
    ServerContext(FeedRouter& r, LogQueue& l, FeedServerOptions o, int threads)
        : router(r), log(l), options(std::move(o)), table(options.limits), workers(options.workers) {
        replyRules.keepAliveSeconds = static_cast<int>(
            std::chrono::duration_cast<std::chrono::seconds>(options.limits.idle).count());
        replyRules.maxRequests = options.limits.maxRequests;
        for (int i = 0; i < threads; ++i) ios.push_back(std::make_unique<boost::asio::io_context>(1));
    }

    // The network thread (its own io_context) for the next connection.
    boost::asio::io_context& NextIo() { return *ios[nextIo++ % ios.size()]; }

    // Closes connection `id` (on its own strand), if it is still open.
    void Close(ConnectionTable::Id id);
    // A connection has ended: out of the table and the registry.
    void Forget(ConnectionTable::Id id);

    FeedRouter& router;
    LogQueue& log;
    const FeedServerOptions options;
    ConnectionTable table;
    WorkerPool workers;
    ConnectionRules replyRules;

    std::mutex sessionsMutex;
    std::unordered_map<ConnectionTable::Id, std::weak_ptr<HttpSession>> sessions;

    std::size_t nextIo = 0;  // used on the accepting strand only
    // One io_context per network thread: a connection stays on one thread,
    // and no thread wakes another for its events. Last, so that they go
    // first: the connections their handlers still hold end while the table
    // they leave is there.
    std::vector<std::unique_ptr<boost::asio::io_context>> ios;
};
