// What the options dialog shows from the settings and what "Okay" stores.
#include <gtest/gtest.h>

#include <string>

#include "options/options_choices.h"

namespace {
AppSettings Stored() {
    AppSettings s;
    s.StartOnWindows = 1;
    s.StartInTray = 0;
    s.RefreshHours = 6;
    s.WindowLeft = 100;
    s.WindowTop = 200;
    s.LocationWoeid = "2442047";
    s.UseCelsius = 1;
    s.LocationName = "Springfield";
    s.VisibleBeforeOptions = -1;
    s.MainVisible = 0;
    s.AppVersion = "1.23";
    return s;
}
}  // namespace

TEST(OptionsRefreshList, EntriesAndHours) {
    EXPECT_STREQ(kRefreshEntries[0], "Every Hour");
    EXPECT_STREQ(kRefreshEntries[1], "Every 3 Hrs");
    EXPECT_STREQ(kRefreshEntries[2], "Every 6 Hrs");
    EXPECT_STREQ(kRefreshEntries[3], "Every 12 Hrs");
    const int hours[] = {1, 3, 6, 12};
    for (int e = 0; e < 4; ++e) {
        EXPECT_EQ(RefreshHoursForEntry(e), hours[e]);
        EXPECT_EQ(EntryForRefreshHours(hours[e]), e);
    }
    EXPECT_EQ(RefreshHoursForEntry(-1), 0);
    EXPECT_EQ(RefreshHoursForEntry(4), 0);
    for (int h : {0, 2, 4, 24, -1, 32767}) EXPECT_EQ(EntryForRefreshHours(h), -1) << h;
}

TEST(OptionsFill, ShowsTheStoredChoices) {
    OptionsChoices c = FillOptions(Stored());
    EXPECT_EQ(c.startOnWindows, 1);
    EXPECT_EQ(c.startInTray, 0);
    EXPECT_EQ(c.refreshEntry, 2);
    EXPECT_TRUE(c.celsius);
    EXPECT_EQ(c.locationText, "Springfield");
    EXPECT_TRUE(c.okEnabled);

    AppSettings s = Stored();
    s.RefreshHours = 12;
    s.UseCelsius = 0;
    c = FillOptions(s);
    EXPECT_EQ(c.refreshEntry, 3);
    EXPECT_FALSE(c.celsius);
}

TEST(OptionsFill, AnyNonZeroFlagReadsAsSet) {
    AppSettings s = Stored();
    s.StartOnWindows = -1;
    s.StartInTray = -1;   // the card would not start hidden, but the box is checked
    s.UseCelsius = 2;
    OptionsChoices c = FillOptions(s);
    EXPECT_EQ(c.startOnWindows, 1);
    EXPECT_EQ(c.startInTray, 1);
    EXPECT_TRUE(c.celsius);
    s.UseCelsius = -1;
    EXPECT_TRUE(FillOptions(s).celsius);
}

TEST(OptionsFill, UnknownIntervalSelectsNothing) {
    AppSettings s = Stored();
    for (int16_t h : {0, 2, 24, -3}) {
        s.RefreshHours = h;
        EXPECT_EQ(FillOptions(s).refreshEntry, -1) << h;
    }
}

TEST(OptionsFill, OkayStaysOffUntilAPlaceIsChosen) {
    AppSettings s = Stored();
    for (std::string name : {"none", "", "   ", "  none  ", "none "}) {
        s.LocationName = name;
        OptionsChoices c = FillOptions(s);
        EXPECT_FALSE(c.okEnabled) << "\"" << name << "\"";
        EXPECT_EQ(c.locationText, name);  // shown unchanged
        EXPECT_TRUE(IsNoPlaceName(name));
    }
    for (std::string name : {"None", "NONE", "none!", "nonexistent", "Springfield"}) {
        s.LocationName = name;
        EXPECT_TRUE(FillOptions(s).okEnabled) << name;
        EXPECT_FALSE(IsNoPlaceName(name));
    }
}

TEST(OptionsApply, StoresEveryChoice) {
    AppSettings s = Stored();
    OptionsChoices c;
    c.startOnWindows = 0;
    c.startInTray = 1;
    c.refreshEntry = 0;
    c.celsius = false;
    ApplyOptions(c, "12345", "Shelbyville", s);
    EXPECT_EQ(s.StartOnWindows, 0);
    EXPECT_EQ(s.StartInTray, 1);
    EXPECT_EQ(s.RefreshHours, 1);
    EXPECT_EQ(s.UseCelsius, 0);
    EXPECT_EQ(s.LocationWoeid, "12345");
    EXPECT_EQ(s.LocationName, "Shelbyville");
    // Nothing else is touched.
    EXPECT_EQ(s.WindowLeft, 100);
    EXPECT_EQ(s.WindowTop, 200);
    EXPECT_EQ(s.VisibleBeforeOptions, -1);
    EXPECT_EQ(s.MainVisible, 0);
    EXPECT_EQ(s.AppVersion, "1.23");

    c.startOnWindows = 1;
    c.startInTray = 0;
    c.refreshEntry = 3;
    c.celsius = true;
    ApplyOptions(c, "1", "X", s);
    EXPECT_EQ(s.StartOnWindows, 1);
    EXPECT_EQ(s.StartInTray, 0);
    EXPECT_EQ(s.RefreshHours, 12);
    EXPECT_EQ(s.UseCelsius, 1);
}

TEST(OptionsApply, GreyBoxesStoreZero) {
    AppSettings s = Stored();
    OptionsChoices c = FillOptions(s);
    c.startOnWindows = 2;
    c.startInTray = 2;
    ApplyOptions(c, s.LocationWoeid, s.LocationName, s);
    EXPECT_EQ(s.StartOnWindows, 0);
    EXPECT_EQ(s.StartInTray, 0);
}

TEST(OptionsApply, NoSelectedIntervalKeepsTheStoredOne) {
    AppSettings s = Stored();
    s.RefreshHours = 5;
    OptionsChoices c = FillOptions(s);
    ASSERT_EQ(c.refreshEntry, -1);
    ApplyOptions(c, s.LocationWoeid, s.LocationName, s);
    EXPECT_EQ(s.RefreshHours, 5);
}

TEST(OptionsApply, UntouchedDialogStoresTheSameValues) {
    for (int16_t hours : {1, 3, 6, 12}) {
        AppSettings s = Stored();
        s.RefreshHours = hours;
        AppSettings after = s;
        ApplyOptions(FillOptions(s), s.LocationWoeid, s.LocationName, after);
        EXPECT_EQ(after.RefreshHours, hours);
        EXPECT_EQ(after.StartOnWindows, s.StartOnWindows);
        EXPECT_EQ(after.StartInTray, s.StartInTray);
        EXPECT_EQ(after.UseCelsius, s.UseCelsius);
        EXPECT_EQ(after.LocationWoeid, s.LocationWoeid);
        EXPECT_EQ(after.LocationName, s.LocationName);
    }
    // Stored -1 flags come back as 1.
    AppSettings s = Stored();
    s.StartInTray = -1;
    s.UseCelsius = 2;
    ApplyOptions(FillOptions(s), s.LocationWoeid, s.LocationName, s);
    EXPECT_EQ(s.StartInTray, 1);
    EXPECT_EQ(s.UseCelsius, 1);
}

TEST(OptionsAbout, TwelveLinesWithoutAFinalBreak) {
    EXPECT_EQ(AboutText("1.23"),
              "Cloudwick 1.23\r\n"
              "______________\r\n"
              "\r\n"
              "Enter your location like...\r\n"
              "Tokyo, 60610, Eiffel Tower ...\r\n"
              "Hit Find (or ENTER key) and Okay ! \r\n"
              "Hover on system tray to quick look temp.\r\n"
              "\r\n"
              "\r\n"
              "\r\n"
              "\r\n");
    EXPECT_EQ(AboutText("2.0").substr(0, 13), "Cloudwick 2.0");
}
