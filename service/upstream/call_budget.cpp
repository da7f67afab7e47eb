#include "upstream/call_budget.h"

#include <algorithm>

int CallWeight(int variables, int days) {
    // In thousandths, integer throughout: v/10 -> v*100, days/14 * v/10 -> days*v*100/14.
    const int64_t byVariables = int64_t{variables} * 100;
    const int64_t byDays = (int64_t{days} * variables * 100 + 13) / 14;
    return static_cast<int>(std::max<int64_t>({kOneCall, byVariables, byDays}));
}

void CallBudget::Roll(int64_t now) const {
    const int64_t indexes[] = {now / 60, now / 3600, now / 86400};
    Window* windows[] = {&minute_, &hour_, &day_};
    for (int i = 0; i < 3; ++i) {
        if (windows[i]->index != indexes[i]) *windows[i] = Window{indexes[i], 0};
    }
}

bool CallBudget::TryTake(int weight, CallPurpose purpose, Trouble* why) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_();
    Roll(now);
    const int share = purpose == CallPurpose::Refresh ? 100 : limits_.newShare;
    const struct {
        Window& w;
        int limit;
        int64_t length;
        Trouble full;
    } windows[] = {{day_, limits_.perDay, 86400, Trouble::DayUsedUp},
                   {hour_, limits_.perHour, 3600, Trouble::HourUsedUp},
                   {minute_, limits_.perMinute, 60, Trouble::MinuteUsedUp}};
    for (const auto& x : windows) {
        const int64_t cap = int64_t{x.limit} * kOneCall * share / 100;
        if (x.w.used + weight > cap) {
            // The longest window that is full says when there is room again.
            blockedUntil_ = std::max(blockedUntil_, (now / x.length + 1) * x.length);
            if (why) *why = x.full;
            return false;
        }
    }
    for (const auto& x : windows) x.w.used += weight;
    return true;
}

void CallBudget::GiveBack(int weight) {
    std::lock_guard<std::mutex> lock(mutex_);
    Roll(clock_());
    for (Window* w : {&day_, &hour_, &minute_}) w->used = std::max<int64_t>(0, w->used - weight);
}

int CallBudget::SecondsUntilRoom() const {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = clock_();
    return blockedUntil_ > now ? static_cast<int>(blockedUntil_ - now) : 1;
}

CallBudget::Used CallBudget::InUse() const {
    std::lock_guard<std::mutex> lock(mutex_);
    Roll(clock_());
    return {minute_.used, hour_.used, day_.used};
}

CallBudget::Windows CallBudget::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    Roll(clock_());
    return {minute_.index, minute_.used, hour_.index, hour_.used, day_.index, day_.used};
}

void CallBudget::Restore(const Windows& w) {
    std::lock_guard<std::mutex> lock(mutex_);
    Roll(clock_());
    // Only the windows still current count; what they used adds to this run's.
    const auto put = [](Window& mine, int64_t index, int64_t used) {
        if (index == mine.index && used > 0) mine.used += std::min<int64_t>(used, int64_t{1} << 40);
    };
    put(minute_, w.minute, w.minuteUsed);
    put(hour_, w.hour, w.hourUsed);
    put(day_, w.day, w.dayUsed);
}
