#pragma once
// Keeps the service under the upstream's free-use limits (per minute, hour
// and day), whatever the requests: unknown ids and new search texts each
// cost a call, and a flood of them must not use up the day's allowance.
//
// Calls are counted as the source counts them: a request for more than ten
// variables, or for more than two weeks of them, weighs more than one call.
// Part of every window is kept for refreshing places already in use, so new
// places and searches can never crowd out the cards that are running.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "model/trouble_kinds.h"

// What a call is for.
enum class CallPurpose {
    New,      // a place or search nothing is cached for
    Refresh,  // a place in use whose cached forecast has run out
};

// Weights in thousandths of a call.
constexpr int kOneCall = 1000;

// The source's weight of one call for `variables` over `days`:
// max(1, variables/10, days/14 × variables/10), in thousandths, rounded up.
int CallWeight(int variables, int days);

struct CallLimits {
    // Whole calls per window; the source allows 600, 5000 and 10000.
    int perMinute = 500;
    int perHour = 4500;
    int perDay = 9000;
    // Percent of each window that calls for new places may use.
    int newShare = 75;
};

class CallBudget {
public:
    using Clock = std::function<int64_t()>;  // seconds, any epoch
    CallBudget(CallLimits limits, Clock clock) : limits_(limits), clock_(std::move(clock)) {}

    // Takes `weight` from every window; false (and nothing taken) when it
    // would overrun any of them, for `purpose`, with the window in `why`.
    bool TryTake(int weight, CallPurpose purpose, Trouble* why = nullptr);

    // Gives back what a call took that never reached the source (a proxy
    // refused it), in the windows it was taken from.
    void GiveBack(int weight);

    // Seconds until the fullest window rolls over (after a refusal: when to
    // try again).
    int SecondsUntilRoom() const;

    // Weight used in the current minute, hour and day (thousandths).
    struct Used {
        int64_t minute = 0, hour = 0, day = 0;
    };
    Used InUse() const;

    // The windows as they stand, to be kept across a restart, and put back.
    // Windows that have rolled over since are dropped as they would have been.
    struct Windows {
        int64_t minute = -1, minuteUsed = 0, hour = -1, hourUsed = 0, day = -1, dayUsed = 0;  // index, thousandths
    };
    Windows Snapshot() const;
    void Restore(const Windows& w);

private:
    struct Window {
        int64_t index = -1;
        int64_t used = 0;  // thousandths
    };
    void Roll(int64_t now) const;

    const CallLimits limits_;
    const Clock clock_;
    mutable std::mutex mutex_;
    mutable Window minute_, hour_, day_;
    mutable int64_t blockedUntil_ = 0;  // when the window that refused rolls over
};
