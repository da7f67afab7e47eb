#include "http/http_reply.h"

#include "http/http_dates.h"

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

namespace {

// HttpDate of `unixSeconds`, made once a second per thread.
const std::string& CachedHttpDate(int64_t unixSeconds) {
    thread_local int64_t at = -1;
    thread_local std::string text;
    if (unixSeconds != at) {
        text = HttpDate(unixSeconds);
        at = unixSeconds;
    }
    return text;
}

void Header(std::string& out, const char* name, const std::string& value) {
    out += name;
    out += ": ";
    out += value;
    out += "\r\n";
}

}  // namespace

std::string ReplyBytes(const ServiceReply& reply, bool head, bool close, const ConnectionRules& rules) {
    // Header names in case-insensitive alphabetical order, written straight
    // into one buffer: this runs for every request.
    std::string out;
    out.reserve(320 + (head ? 0 : reply.body.size()));
    out += "HTTP/1.1 ";
    out += std::to_string(reply.status);
    out += ' ';
    out += ReasonPhrase(reply.status);
    out += "\r\n";
    if (head) Header(out, "Accept-Ranges", "bytes");
    Header(out, "Cache-Control", reply.maxAge >= 0 ? "public, max-age=" + std::to_string(reply.maxAge) : "no-store");
    if (close) Header(out, "Connection", "close");
    Header(out, "Content-Length", std::to_string(reply.body.size()));
    Header(out, "Content-Type", reply.contentType);
    if (reply.date > 0) Header(out, "Date", CachedHttpDate(reply.date));
    if (!close) {
        Header(out, "Keep-Alive", "timeout=" + std::to_string(rules.keepAliveSeconds) +
                                      ", max=" + std::to_string(rules.maxRequests));
    }
    if (reply.lastModified > 0) Header(out, "Last-Modified", HttpDate(reply.lastModified));
    if (reply.retryAfter > 0) Header(out, "Retry-After", std::to_string(reply.retryAfter));
    if (reply.stale) Header(out, kStaleWarningName, kStaleWarningValue);
    if (!reply.cache.empty()) Header(out, "X-Cache", reply.cache);
    out += "\r\n";
    if (!head) out += reply.body;
    return out;
}
