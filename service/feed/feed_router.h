#pragma once
// Which request gets which answer, on every platform: the two documents,
// the health report, and the refusals (404, 414, 400 for a request that
// cannot be read, 500 when answering failed).
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "feed/feed_service.h"

class FeedRouter {
public:
    explicit FeedRouter(FeedService& service) : service_(service) {}

    // The answer to `method` `target` ("/forecastrss?w=1") from `client`
    // (its address). A HEAD gets the GET answer; the server leaves out its body.
    ServiceReply Answer(const std::string& method, const std::string& target, const std::string& client = "");

    // True when the answer to `target` can be expected at once, without a
    // call to the source: requests that never need it, and documents that
    // were last answered from the cache and are still fresh. The server
    // answers those on its network threads and hands the rest to workers.
    bool AnswersAtOnce(const std::string& method, const std::string& target);

    // The service's clock (unix seconds), for the Date of the server's own refusals.
    int64_t Now() const { return service_.Now(); }

private:
    ServiceReply Route(const std::string& method, const std::string& target, const std::string& client);
    void Remember(const std::string& target, const ServiceReply& reply);

    FeedService& service_;
    // Targets answered from the cache, until their document runs out. Bounded.
    std::mutex freshMutex_;
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> fresh_;
};

// The answer to a request that could not be read: 414 when its request
// line is too long, 431 when its head is, else 400.
ServiceReply UnreadableRequestReply(int status = 400);

// The part of a target after the first '?', "" when there is none.
std::string RawQuery(const std::string& target);
