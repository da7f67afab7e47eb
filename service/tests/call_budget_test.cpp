#include "core/call_budget.h"

#include <gtest/gtest.h>

namespace {

TEST(CallBudget, EachWindowCapsTheCallsUntilItRollsOver) {
    int64_t now = 86400 * 100;  // the start of a day, hour and minute
    CallBudget budget({3, 5, 7}, [&] { return now; });
    EXPECT_TRUE(budget.TryTake());
    EXPECT_TRUE(budget.TryTake());
    EXPECT_TRUE(budget.TryTake());
    EXPECT_FALSE(budget.TryTake());  // minute used up
    now += 59;
    EXPECT_FALSE(budget.TryTake());
    now += 1;
    EXPECT_TRUE(budget.TryTake());
    EXPECT_TRUE(budget.TryTake());
    EXPECT_FALSE(budget.TryTake());  // hour used up (5), although the minute has room
    now += 3600;
    EXPECT_TRUE(budget.TryTake());
    EXPECT_TRUE(budget.TryTake());
    EXPECT_FALSE(budget.TryTake());  // day used up (7)
    now += 86400;
    EXPECT_TRUE(budget.TryTake());
}

TEST(CallBudget, RefusedCallsCostNothing) {
    int64_t now = 0;
    CallBudget budget({1, 2, 100}, [&] { return now; });
    EXPECT_TRUE(budget.TryTake());
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(budget.TryTake());
    now = 60;
    EXPECT_TRUE(budget.TryTake());  // the hour still had room for one more
}

}  // namespace
