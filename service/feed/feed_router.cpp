#include "feed/feed_router.h"

#include <exception>

#include "http/request_query.h"
#include "model/url_encoding.h"

namespace {

ServiceReply Plain(int status, const char* text) {
    ServiceReply r;
    r.status = status;
    r.contentType = "text/plain; charset=us-ascii";
    r.body = text;
    return r;
}

// The path with %XX decoded ('+' stays); a '%' without two hex digits stays as it is.
std::string DecodedPath(const std::string& target) {
    return PercentDecoded(target.substr(0, target.find('?')), Plus::IsPlus);
}

}  // namespace

std::string RawQuery(const std::string& target) {
    const std::size_t q = target.find('?');
    return q == std::string::npos ? "" : target.substr(q + 1);
}

ServiceReply UnreadableRequestReply(int status) {
    if (status == 414) return Plain(414, "Query string too long.\n");
    if (status == 431) return Plain(431, "Request head too large.\n");
    return Plain(400, "Bad request.\n");
}

ServiceReply FeedRouter::Answer(const std::string& method, const std::string& target, const std::string& client) {
    ServiceReply r = Route(method, target, client);
    if (r.date == 0) r.date = service_.Now();
    Remember(target, r);
    return r;
}

namespace {
constexpr std::size_t kMaxRemembered = 4096;

// Paths whose answer may need the source.
bool MayCallSource(const std::string& target) {
    const std::string path = DecodedPath(target);
    return path == "/forecastrss" || path == "/v1/public/yql";
}
}  // namespace

void FeedRouter::Remember(const std::string& target, const ServiceReply& r) {
    if (!MayCallSource(target)) return;
    const bool fromCache = r.status == 200 && r.maxAge > 0 && (r.cache == "hit" || r.cache == "miss");
    std::lock_guard<std::mutex> lock(freshMutex_);
    if (!fromCache) {
        fresh_.erase(target);
        return;
    }
    if (fresh_.size() >= kMaxRemembered) fresh_.clear();
    fresh_[target] = std::chrono::steady_clock::now() + std::chrono::seconds(r.memoryFor >= 0 ? r.memoryFor : r.maxAge);
}

bool FeedRouter::AnswersAtOnce(const std::string& method, const std::string& target) {
    if (method != "GET" && method != "HEAD") return true;
    if (RawQuery(target).size() > kMaxQueryLength || !MayCallSource(target)) return true;
    std::lock_guard<std::mutex> lock(freshMutex_);
    const auto it = fresh_.find(target);
    return it != fresh_.end() && std::chrono::steady_clock::now() < it->second;
}

ServiceReply FeedRouter::Route(const std::string& method, const std::string& target, const std::string& client) {
    const std::string query = RawQuery(target);
    if (query.size() > kMaxQueryLength) return UnreadableRequestReply(414);
    if (method != "GET" && method != "HEAD") return Plain(404, "Not found.\n");
    const std::string path = DecodedPath(target);
    try {
        if (path == "/forecastrss") return service_.Weather(query, client);
        if (path == "/v1/public/yql") return service_.Places(query, client);
        if (path == "/health") return service_.Health();
    } catch (const std::exception&) {
        return Plain(500, "Internal error.\n");
    }
    return Plain(404, "Not found.\n");
}
