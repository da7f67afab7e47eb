#include "upstream/rate_gate.h"

#include <thread>

namespace {

int SecondsUp(std::chrono::steady_clock::duration d) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    return ms <= 0 ? 1 : static_cast<int>((ms + 999) / 1000);
}

}  // namespace

RateGate::RateGate(std::chrono::milliseconds spacing, std::chrono::milliseconds longestWait, Clock clock, Sleep sleep,
                   int perClient)
    : spacing_(spacing),
      longestWait_(longestWait),
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }),
      sleep_(sleep ? std::move(sleep) : [](std::chrono::steady_clock::duration d) { std::this_thread::sleep_for(d); }),
      perClient_(perClient) {}

bool RateGate::Enter(const std::string& client, int* retryAfter) {
    std::chrono::steady_clock::time_point now, turn;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now = clock_();
        for (auto it = turns_.begin(); it != turns_.end();) {
            while (!it->second.empty() && it->second.front() <= now) it->second.pop_front();
            it = it->second.empty() ? turns_.erase(it) : std::next(it);
        }
        turn = next_ > now ? next_ : now;
        if (turn - now > longestWait_) {
            if (retryAfter) *retryAfter = SecondsUp(turn - now - longestWait_);
            return false;
        }
        if (!client.empty()) {
            auto& mine = turns_[client];
            if (static_cast<int>(mine.size()) >= perClient_) {
                if (retryAfter) *retryAfter = SecondsUp(mine.front() - now);
                return false;
            }
            mine.push_back(turn);
        }
        next_ = turn + spacing_;
    }
    if (turn > now) sleep_(turn - now);
    return true;
}
