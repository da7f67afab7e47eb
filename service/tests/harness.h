#pragma once
// Test helpers: the service on a loopback port, and a client that sends
// exactly the bytes the card sends.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "feed/feed_router.h"
#include "server/feed_server.h"
#include "server/log_queue.h"

struct RawReply {
    std::string raw;  // every byte received, headers included
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    // Value of a header (name in lower case), "" when absent.
    std::string header(const std::string& name) const {
        const auto it = headers.find(name);
        return it == headers.end() ? "" : it->second;
    }
};

// A port free just now on every address, for a program started on it.
int FreePort();

// The card's request for `target` ("/forecastrss?w=1"), byte for byte.
std::string CardRequest(const std::string& target, const std::string& host = "localhost");

// Sends `request` to 127.0.0.1:`port` and reads one reply (by its
// Content-Length, or to the close); status 0 when nothing came back.
// `from`: the loopback address to send from ("127.0.0.2": another client).
RawReply SendRaw(int port, const std::string& request, const std::string& from = "");
inline RawReply CardGet(int port, const std::string& target) { return SendRaw(port, CardRequest(target)); }

// The server with `service` behind the core's router, on an ephemeral
// loopback port, on its own threads. `trustedProxies`: see --trust-proxy.
class RunningServer {
public:
    explicit RunningServer(FeedService& service, int threads = 16, std::vector<std::string> trustedProxies = {},
                           ConnectionLimits limits = {});
    ~RunningServer();
    int port() const { return port_; }
    // The log so far (its queue writes a batch a tenth of a second apart).
    std::string Log() const {
        std::lock_guard<std::mutex> lock(logMutex_);
        return log_;
    }
    FeedServer& server() { return *server_; }

private:
    mutable std::mutex logMutex_;
    std::string log_;
    FeedRouter router_;
    LogQueue logQueue_;
    std::unique_ptr<FeedServer> server_;
    std::thread thread_;
    int port_ = -1;
};
