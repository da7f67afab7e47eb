#include "core/rate_gate.h"

#include <thread>

RateGate::RateGate(std::chrono::milliseconds spacing, std::chrono::milliseconds longestWait, Clock clock, Sleep sleep)
    : spacing_(spacing),
      longestWait_(longestWait),
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }),
      sleep_(sleep ? std::move(sleep) : [](std::chrono::steady_clock::duration d) { std::this_thread::sleep_for(d); }) {}

bool RateGate::Enter() {
    std::chrono::steady_clock::time_point now, turn;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now = clock_();
        turn = next_ > now ? next_ : now;
        if (turn - now > longestWait_) return false;
        next_ = turn + spacing_;
    }
    if (turn > now) sleep_(turn - now);
    return true;
}
