#include "core/call_budget.h"

bool CallBudget::Fits(Window& w, int64_t index, int limit) {
    if (w.index != index) {
        w.index = index;
        w.used = 0;
    }
    return w.used < limit;
}

bool CallBudget::TryTake() {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_();
    const int64_t m = now / 60, h = now / 3600, d = now / 86400;
    if (!Fits(minute_, m, limits_.perMinute) || !Fits(hour_, h, limits_.perHour) || !Fits(day_, d, limits_.perDay))
        return false;
    ++minute_.used;
    ++hour_.used;
    ++day_.used;
    return true;
}
