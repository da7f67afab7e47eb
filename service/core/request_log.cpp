#include "core/request_log.h"

#include <cstdio>

#include "core/feed_dates.h"

std::string LoggableTarget(const std::string& target, std::size_t max) {
    std::string out;
    for (unsigned char c : target) {
        if (out.size() >= max) {
            out += "...";
            break;
        }
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string UtcStamp(int64_t unixSeconds) {
    const LocalDateTime t = FromUnix(unixSeconds, 0);
    const int seconds = static_cast<int>(((unixSeconds % 60) + 60) % 60);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s:%02dZ", IsoLocal(t).c_str(), seconds);
    return buf;
}

std::string RequestLogLine(int64_t unixSeconds, const std::string& remote, const std::string& method,
                           const std::string& target, const ServiceReply& reply) {
    return UtcStamp(unixSeconds) + " " + remote + " \"" + method + " " + LoggableTarget(target, 300) + "\" " +
           std::to_string(reply.status) + " " + std::to_string(reply.body.size()) +
           (reply.cache.empty() ? "" : " cache=" + reply.cache) +
           (reply.reason.empty() ? "" : " reason=\"" + LoggableTarget(reply.reason, 200) + "\"") + "\n";
}
