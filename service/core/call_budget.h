#pragma once
// Keeps the service under the upstream's free-use limits (per minute, hour
// and day), whatever the requests: unknown ids and new search texts each
// cost a call, and a flood of them must not use up the day's allowance.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

struct CallLimits {
    int perMinute = 500;   // the source allows 600
    int perHour = 4500;    // 5000
    int perDay = 9000;     // 10000
};

class CallBudget {
public:
    using Clock = std::function<int64_t()>;  // seconds, any epoch
    CallBudget(CallLimits limits, Clock clock) : limits_(limits), clock_(std::move(clock)) {}

    // Takes one call from every window; false (and nothing taken) when any
    // window is used up.
    bool TryTake();

private:
    struct Window {
        int64_t index = -1;
        int used = 0;
    };
    static bool Fits(Window& w, int64_t index, int limit);

    const CallLimits limits_;
    const Clock clock_;
    std::mutex mutex_;
    Window minute_, hour_, day_;
};
