#include "core/http_reply.h"

#include <algorithm>

#include "core/http_dates.h"

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 408: return "Request Timeout";
        case 414: return "URI Too Long";
        case 431: return "Request Header Fields Too Large";
        case 429: return "Too Many Requests";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "";
    }
}

std::vector<std::pair<std::string, std::string>> CachingHeaders(const ServiceReply& reply) {
    std::vector<std::pair<std::string, std::string>> h;
    h.emplace_back("Cache-Control", reply.maxAge >= 0 ? "public, max-age=" + std::to_string(reply.maxAge) : "no-store");
    if (reply.date > 0) h.emplace_back("Date", HttpDate(reply.date));
    if (reply.lastModified > 0) h.emplace_back("Last-Modified", HttpDate(reply.lastModified));
    if (reply.retryAfter > 0) h.emplace_back("Retry-After", std::to_string(reply.retryAfter));
    if (!reply.cache.empty()) h.emplace_back("X-Cache", reply.cache);
    return h;
}

std::string ReplyBytes(const ServiceReply& reply, bool head, bool close, const ConnectionRules& rules) {
    // Header names in case-insensitive alphabetical order.
    std::vector<std::pair<std::string, std::string>> h = CachingHeaders(reply);
    if (head) h.emplace_back("Accept-Ranges", "bytes");
    if (close) h.emplace_back("Connection", "close");
    h.emplace_back("Content-Length", std::to_string(reply.body.size()));
    h.emplace_back("Content-Type", reply.contentType);
    if (!close) {
        h.emplace_back("Keep-Alive", "timeout=" + std::to_string(rules.keepAliveSeconds) +
                                         ", max=" + std::to_string(rules.maxRequests));
    }
    std::stable_sort(h.begin(), h.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
    for (const auto& [name, value] : h) out += name + ": " + value + "\r\n";
    out += "\r\n";
    if (!head) out += reply.body;
    return out;
}
