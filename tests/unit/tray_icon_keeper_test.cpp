// The tray icon at log-on: a shell that refuses the first adds (no taskbar
// yet) ends up holding the icon, and a restarted taskbar gets it again.
#include <gtest/gtest.h>

#include <vector>

#include "card/tray_icon_keeper.h"

namespace {
class FakeShell : public TrayShell {
public:
    int refuse = 0;  // adds that fail before the taskbar is there
    int adds = 0;
    bool clock = false;
    std::vector<bool> clockChanges;
    bool AddIcon() override {
        ++adds;
        if (refuse > 0) {
            --refuse;
            return false;
        }
        return true;
    }
    void SetRetryClock(bool on) override {
        clock = on;
        clockChanges.push_back(on);
    }
};
}  // namespace

TEST(TrayIconKeeper, FailedAddsAreRetriedUntilTheShellTakesTheIcon) {
    const struct { int refused; int ticks; bool added; int adds; } cases[] = {
        {0, 0, true, 1},    // the taskbar is there: no clock at all
        {1, 1, true, 2},
        {3, 2, false, 3},   // still waiting after two ticks
        {3, 3, true, 4},
        {30, 30, true, 31}, // a taskbar 30 s late
        {30, 40, true, 31}, // ticks after success add nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        FakeShell shell;
        shell.refuse = c.refused;
        TrayIconKeeper keeper(shell);
        keeper.Add();
        for (int i = 0; i < c.ticks; ++i) keeper.OnRetryTick();
        EXPECT_EQ(keeper.added(), c.added);
        EXPECT_EQ(shell.adds, c.adds);
        EXPECT_EQ(keeper.failedAdds(), c.refused < c.adds ? c.refused : c.adds);
        EXPECT_EQ(shell.clock, !c.added) << "the clock runs exactly while the icon is missing";
        if (c.refused == 0) {
            EXPECT_TRUE(shell.clockChanges.empty());
        }
    }
}

TEST(TrayIconKeeper, ARestartedTaskbarGetsTheIconAgain) {
    FakeShell shell;
    TrayIconKeeper keeper(shell);
    keeper.Add();
    ASSERT_TRUE(keeper.added());
    shell.refuse = 2;  // the new taskbar is not ready for the first adds either
    keeper.OnTaskbarCreated();
    EXPECT_FALSE(keeper.added());
    EXPECT_TRUE(shell.clock);
    keeper.OnRetryTick();
    keeper.OnRetryTick();
    EXPECT_TRUE(keeper.added());
    EXPECT_FALSE(shell.clock);
    EXPECT_EQ(shell.adds, 4);
}

TEST(TrayIconKeeper, NothingIsAddedAfterTheCardRemovedItsIcon) {
    FakeShell shell;
    shell.refuse = 5;
    TrayIconKeeper keeper(shell);
    keeper.Add();
    keeper.Removed();
    EXPECT_FALSE(shell.clock);
    keeper.OnRetryTick();
    keeper.OnTaskbarCreated();
    EXPECT_EQ(shell.adds, 1);
}
