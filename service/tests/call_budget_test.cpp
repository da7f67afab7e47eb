#include "upstream/call_budget.h"

#include <gtest/gtest.h>

namespace {

TEST(CallBudget, WeightsAreTheSourcesOwn) {
    struct Case {
        int variables, days, weight;
    } cases[] = {
        {10, 5, 1000},   // the service's forecast: one call
        {1, 1, 1000},    // never less than one
        {14, 5, 1400},   // the old forecast's 14 variables
        {10, 16, 1143},  // 16 days: 16/14 of a call, rounded up
        {20, 28, 4000},  // both: days/14 * variables/10
    };
    for (const Case& c : cases) EXPECT_EQ(CallWeight(c.variables, c.days), c.weight) << c.variables << "/" << c.days;
}

TEST(CallBudget, EachWindowCapsTheCallsUntilItRollsOver) {
    int64_t now = 86400 * 100;  // the start of a day, hour and minute
    CallBudget budget({3, 5, 7, 100}, [&] { return now; });
    const auto take = [&] { return budget.TryTake(kOneCall, CallPurpose::New); };
    EXPECT_TRUE(take());
    EXPECT_TRUE(take());
    EXPECT_TRUE(take());
    EXPECT_FALSE(take());  // minute used up
    EXPECT_EQ(budget.SecondsUntilRoom(), 60);
    now += 59;
    EXPECT_FALSE(take());
    now += 1;
    EXPECT_TRUE(take());
    EXPECT_TRUE(take());
    EXPECT_FALSE(take());  // hour used up (5), although the minute has room
    now += 3600;
    EXPECT_TRUE(take());
    EXPECT_TRUE(take());
    EXPECT_FALSE(take());  // day used up (7)
    now += 86400;
    EXPECT_TRUE(take());
}

TEST(CallBudget, HeavyCallsCountForMoreAndRefusedOnesCostNothing) {
    int64_t now = 0;
    CallBudget budget({2, 100, 100, 100}, [&] { return now; });
    EXPECT_TRUE(budget.TryTake(1400, CallPurpose::New));
    EXPECT_FALSE(budget.TryTake(1000, CallPurpose::New));  // 2.4 would pass the 2 allowed
    EXPECT_TRUE(budget.TryTake(600, CallPurpose::New));     // exactly 2.0
    EXPECT_EQ(budget.InUse().minute, 2000);
}

// New places and searches may use 3/4 of each window; the rest is kept for
// refreshing places in use.
TEST(CallBudget, AShareIsKeptForRefreshes) {
    int64_t now = 0;
    CallBudget budget({100, 8, 100, 75}, [&] { return now; });
    int fresh = 0;
    while (budget.TryTake(kOneCall, CallPurpose::New)) ++fresh;
    EXPECT_EQ(fresh, 6);  // 75 % of 8
    EXPECT_TRUE(budget.TryTake(kOneCall, CallPurpose::Refresh));
    EXPECT_TRUE(budget.TryTake(kOneCall, CallPurpose::Refresh));
    EXPECT_FALSE(budget.TryTake(kOneCall, CallPurpose::Refresh));  // the whole hour is used
    EXPECT_EQ(budget.SecondsUntilRoom(), 3600);
}

// The defaults, against the source's free limits (600/min, 5000/h,
// 10000/day): a flood of the service's forecasts is refused before any.
TEST(CallBudget, DefaultsStopBeforeTheFreeLimits) {
    int64_t now = 0;
    CallBudget budget(CallLimits{}, [&] { return now; });
    const int weight = CallWeight(10, 5);
    int64_t taken = 0;
    for (int minute = 0; minute < 24 * 60; ++minute) {
        now = minute * 60;
        int thisMinute = 0;
        while (budget.TryTake(weight, minute % 2 ? CallPurpose::Refresh : CallPurpose::New)) {
            taken += weight;
            thisMinute += weight;
        }
        EXPECT_LT(thisMinute, 600 * kOneCall);
    }
    EXPECT_LT(taken, 10000 * kOneCall);
    EXPECT_EQ(taken, 9000 * kOneCall);
}

}  // namespace
