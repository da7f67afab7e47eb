#include "upstream/client_limits.h"

#include <algorithm>

namespace {
constexpr int64_t kOne = 1000;
}

void ClientLimits::Refill(Bucket& b, std::chrono::steady_clock::time_point now) const {
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - b.at).count();
    if (ms <= 0) return;
    // perMinute requests a minute: perMinute thousandths of one per 60 ms.
    b.tokens = std::min<int64_t>(int64_t{rules_.burst} * kOne, b.tokens + ms * rules_.perMinute / 60);
    b.at = now;
}

void ClientLimits::Trim(std::chrono::steady_clock::time_point now, const std::string& keep) {
    if (buckets_.size() <= rules_.maxClients) return;
    // Full buckets carry no memory worth keeping; then the fullest go.
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        Refill(it->second, now);
        it = it->first != keep && it->second.tokens >= int64_t{rules_.burst} * kOne ? buckets_.erase(it) : std::next(it);
    }
    while (buckets_.size() > rules_.maxClients) {
        auto fullest = buckets_.end();
        for (auto it = buckets_.begin(); it != buckets_.end(); ++it) {
            if (it->first != keep && (fullest == buckets_.end() || it->second.tokens > fullest->second.tokens)) fullest = it;
        }
        if (fullest == buckets_.end()) return;
        buckets_.erase(fullest);
    }
}

bool ClientLimits::TryTake(const std::string& client, int& retryAfter) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = clock_();
    auto [it, fresh] = buckets_.try_emplace(client);
    Bucket& b = it->second;
    if (fresh) {
        b.tokens = int64_t{rules_.burst} * kOne;
        b.at = now;
    }
    Refill(b, now);
    if (b.tokens < kOne || rules_.perMinute <= 0) {
        const int64_t missing = kOne - b.tokens;
        retryAfter = rules_.perMinute <= 0 ? 60 : static_cast<int>((missing * 60 + rules_.perMinute * kOne - 1) / (rules_.perMinute * kOne));
        retryAfter = std::max(1, retryAfter);
        return false;
    }
    b.tokens -= kOne;
    if (fresh) Trim(now, client);
    return true;
}
