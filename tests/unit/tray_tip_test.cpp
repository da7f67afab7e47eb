// The tray tooltip: which text it shows, and the 64-character field that
// always ends in a NUL.
#include <gtest/gtest.h>

#include <string>

#include "card/tray_tip.h"

namespace {
const std::string kTemp = "31   \xB0 F";

std::string Text(const std::array<char, 64>& f) { return std::string(f.data()); }
}  // namespace

TEST(TrayTipText, PlaceAndTemperatureOnceAFetchHasRun) {
    EXPECT_EQ(TrayTipText("Springfield, XY", kTemp, "1.23"), "Springfield, XY : " + kTemp);
    EXPECT_EQ(TrayTipText("My City", "", "1.23"), "My City : ");
    // The title is used untrimmed.
    EXPECT_EQ(TrayTipText("  Springfield  ", kTemp, "1.23"), "  Springfield   : " + kTemp);
}

TEST(TrayTipText, DesignTitleShowsTheVersion) {
    EXPECT_EQ(std::string(kDesignTitle), "options: Select Location");
    EXPECT_EQ(TrayTipText("options: Select Location", "", "1.23"), "Cloudwick 1.23");
    EXPECT_EQ(TrayTipText("  options: Select Location  ", kTemp, "1.23"), "Cloudwick 1.23");
    // The comparison is exact apart from the spaces.
    EXPECT_EQ(TrayTipText("Options: select location", kTemp, "1.23"),
              "Options: select location : " + kTemp);
    EXPECT_EQ(TrayTipText("\toptions: Select Location", "", "1.23"),
              "\toptions: Select Location : ");
}

TEST(TrayTipField, ShortTextIsNulTerminatedAndPaddedWithSpaces) {
    const auto f = TipField("Cloudwick 1.23");
    EXPECT_EQ(Text(f), "Cloudwick 1.23");
    EXPECT_EQ(f[14], '\0');
    for (size_t i = 15; i < f.size(); ++i) EXPECT_EQ(f[i], ' ') << i;

    const auto empty = TipField("");
    EXPECT_EQ(empty[0], '\0');
    EXPECT_EQ(empty[63], ' ');
}

TEST(TrayTipField, LongTextIsCutAt63AndStillEndsInNul) {
    const std::string s63(63, 'a');
    auto f = TipField(s63);
    EXPECT_EQ(Text(f), s63);
    EXPECT_EQ(f[63], '\0');

    const std::string title = "Llanfairpwllgwyngyll Upon The Long River, Somewhere Region";
    const std::string tip = TrayTipText(title, kTemp, "1.23");
    ASSERT_GT(tip.size(), 64u);
    f = TipField(tip);
    EXPECT_EQ(Text(f), tip.substr(0, 63));
    EXPECT_EQ(f[63], '\0');

    f = TipField(std::string(64, 'b'));
    EXPECT_EQ(Text(f), std::string(63, 'b'));
    f = TipField(std::string(1000, 'c'));
    EXPECT_EQ(f[63], '\0');
    EXPECT_EQ(Text(f).size(), 63u);
}
