#pragma once
// A per-client allowance of requests that make the service call the source:
// new ids, new search texts, forecasts that have run out. A client that
// sends many of them uses up its own allowance, not everyone's. Requests
// answered from the cache never count.
//
// Each client (an address) has a bucket of `burst` requests that refills at
// `perMinute`. The table of clients is bounded.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

struct ClientRules {
    int perMinute = 10;
    int burst = 20;
    std::size_t maxClients = 10000;
};

class ClientLimits {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    ClientLimits(ClientRules rules, Clock clock) : rules_(rules), clock_(std::move(clock)) {}

    // Takes one request from `client`'s allowance. False when it is used up,
    // with the seconds until there is room again in `retryAfter`.
    bool TryTake(const std::string& client, int& retryAfter);

private:
    struct Bucket {
        int64_t tokens = 0;  // thousandths of a request
        std::chrono::steady_clock::time_point at;
    };
    void Refill(Bucket& b, std::chrono::steady_clock::time_point now) const;
    void Trim(std::chrono::steady_clock::time_point now, const std::string& keep);

    const ClientRules rules_;
    const Clock clock_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};
