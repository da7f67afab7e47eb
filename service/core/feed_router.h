#pragma once
// Which request gets which answer, on every platform: the two documents,
// the health report, and the refusals (404, 414, 400 for a request that
// cannot be read, 500 when answering failed).
#include <string>

#include "core/feed_service.h"

class FeedRouter {
public:
    explicit FeedRouter(FeedService& service) : service_(service) {}

    // The answer to `method` `target` ("/forecastrss?w=1") from `client`
    // (its address). A HEAD gets the GET answer; the server leaves out its body.
    ServiceReply Answer(const std::string& method, const std::string& target, const std::string& client = "");

private:
    ServiceReply Route(const std::string& method, const std::string& target, const std::string& client);
    FeedService& service_;
};

// The answer to a request that could not be read: 414 when its request
// line is too long, else 400.
ServiceReply UnreadableRequestReply(int status = 400);

// The part of a target after the first '?', "" when there is none.
std::string RawQuery(const std::string& target);
