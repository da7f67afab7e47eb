#include "http/request_log.h"

#include <cstdio>

#include "model/feed_dates.h"

namespace {
const char kOthers[] = "(other addresses)";
}

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
    return UtcStamp(unixSeconds) + " " + LoggableTarget(remote, 64) + " \"" + LoggableTarget(method, 20) +
           (target.empty() ? "" : " " + LoggableTarget(target, 300)) + "\" " + std::to_string(reply.status) + " " +
           std::to_string(reply.body.size()) + (reply.cache.empty() ? "" : " cache=" + LoggableTarget(reply.cache, 20)) +
           (reply.reason.empty() ? "" : " reason=\"" + LoggableTarget(reply.reason, 200) + "\"") + "\n";
}

bool LogFolder::Admit(const std::string& address, int status, int64_t unixSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (intervalStart_ == 0 || unixSeconds >= intervalStart_ + rules_.intervalSeconds) {
        // A new interval: what the last one folded is summed up now (written
        // with the next Summaries()), and every address starts afresh.
        ended_ += SumUp(intervalStart_ + rules_.intervalSeconds);
        intervalStart_ = unixSeconds - unixSeconds % rules_.intervalSeconds;
    }
    auto it = counts_.find(address);
    if (it == counts_.end()) {
        it = counts_.size() < rules_.maxAddresses ? counts_.emplace(address, Counts{}).first
                                                  : counts_.emplace(kOthers, Counts{}).first;
    }
    Counts& c = it->second;
    if (it->first != kOthers && c.logged < rules_.perInterval) {
        ++c.logged;
        return true;
    }
    ++c.folded;
    ++c.byStatus[status];
    return false;
}

std::string LogFolder::SumUp(int64_t stampUnix) {
    std::string out;
    for (const auto& [address, c] : counts_) {
        if (c.folded == 0) continue;
        std::string statuses;
        for (const auto& [status, n] : c.byStatus)
            statuses += (statuses.empty() ? "" : ", ") + std::to_string(status) + ": " + std::to_string(n);
        out += UtcStamp(stampUnix) + " " + LoggableTarget(address, 64) + " " + std::to_string(c.folded) +
               " more requests in " + std::to_string(rules_.intervalSeconds) + " s not logged one by one (" +
               statuses + ")\n";
    }
    counts_.clear();
    return out;
}

std::string LogFolder::Summaries(int64_t unixSeconds, bool all) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    out.swap(ended_);
    if (intervalStart_ == 0 || (!all && unixSeconds < intervalStart_ + rules_.intervalSeconds)) return out;
    out += SumUp(unixSeconds);
    intervalStart_ = unixSeconds - unixSeconds % rules_.intervalSeconds;
    return out;
}

bool LogFolder::HasFolded() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ended_.empty()) return true;
    for (const auto& entry : counts_)
        if (entry.second.folded > 0) return true;
    return false;
}
