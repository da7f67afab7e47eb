#include "core/http_reply.h"

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 408: return "Request Timeout";
        case 414: return "URI Too Long";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "";
    }
}

std::string ReplyBytes(const ServiceReply& reply, bool head, bool close, const ConnectionRules& rules) {
    // Header names in case-insensitive alphabetical order.
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
    if (head) out += "Accept-Ranges: bytes\r\n";
    if (close) out += "Connection: close\r\n";
    out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    out += "Content-Type: " + reply.contentType + "\r\n";
    if (!close) {
        out += "Keep-Alive: timeout=" + std::to_string(rules.keepAliveSeconds) +
               ", max=" + std::to_string(rules.maxRequests) + "\r\n";
    }
    if (!reply.cache.empty()) out += "X-Cache: " + reply.cache + "\r\n";
    out += "\r\n";
    if (!head) out += reply.body;
    return out;
}
