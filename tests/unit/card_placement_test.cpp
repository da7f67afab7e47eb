// The card's start-up place on the monitors it finds, and when its first
// forecast line takes two rows.
#include <gtest/gtest.h>

#include "card/card_placement.h"

namespace {
// A card of 207 x 326 pixels (96 DPI) whose left edge is at `left`: its
// title strip runs from left + 4 to left + 203, top + 4 to top + 27.
PixelRect CardAt(int left, int top) { return {left, top, left + 207, top + 326}; }
}  // namespace

TEST(CardPlacement, TheTitleStripIsFrame1AtEveryScaling) {
    const struct { int dpi; PixelRect strip; } cases[] = {
        {96, {4, 4, 203, 27}},
        {168, {7, 7, 355, 47}},
        {192, {8, 8, 406, 54}},
    };
    for (const auto& c : cases) {
        const PixelRect got = TitleStripInCard(c.dpi, c.dpi);
        EXPECT_EQ(got.left, c.strip.left) << c.dpi;
        EXPECT_EQ(got.top, c.strip.top) << c.dpi;
        EXPECT_EQ(got.right, c.strip.right) << c.dpi;
        EXPECT_EQ(got.bottom, c.strip.bottom) << c.dpi;
    }
}

TEST(CardPlacement, AStoredPlaceIsKeptOnlyWithItsWholeTitleStripOnTheWorkAreas) {
    // A card whose strip is partly off the work areas cannot be taken hold
    // of for its full width, and one with a few pixels in sight not at all:
    // it starts at the design place instead.
    const std::vector<PixelRect> one = {{0, 0, 1024, 738}};                               // a taskbar below
    const std::vector<PixelRect> two = {{0, 0, 1920, 1040}, {1920, 0, 3840, 1080}};       // side by side
    const std::vector<PixelRect> leftOf = {{-1920, 0, 0, 1040}, {0, 0, 1920, 1040}};      // second one at the left
    const PixelRect design = CardAt(477, 237);
    const PixelRect strip = TitleStripInCard(96, 96);
    const struct { const char* what; PixelRect stored; const std::vector<PixelRect>* areas; bool kept; } cases[] = {
        {"the design place", design, &one, true},
        {"strip flush with the left edge", CardAt(-4, 100), &one, true},
        {"strip flush with the top edge", CardAt(100, -4), &one, true},
        {"1 px of the strip on one monitor", CardAt(-202, 100), &one, false},
        {"7 px of the strip on one monitor", CardAt(-196, 100), &one, false},
        {"100 px of the strip on one monitor", CardAt(-103, 100), &one, false},
        {"the strip's top row above the screen", CardAt(100, -5), &one, false},
        {"the strip under the taskbar", CardAt(100, 720), &one, false},
        {"body below the screen, strip in sight", CardAt(100, 700), &one, true},
        {"1 px of the strip on the right monitor", CardAt(3840 - 4 - 1, 100), &two, false},
        {"7 px of the strip on the right monitor", CardAt(3840 - 4 - 7, 100), &two, false},
        {"100 px of the strip on the right monitor", CardAt(3840 - 4 - 100, 100), &two, false},
        {"across the seam of two monitors", CardAt(1800, 100), &two, true},
        {"on the second monitor", CardAt(2600, 100), &two, true},
        {"... once it is unplugged", CardAt(2600, 100), &one, false},
        {"-3000 twips with the left monitor there", CardAt(-200, 200), &leftOf, true},
        {"-3000 twips once it is unplugged", CardAt(-200, -200), &one, false},
        {"no monitor at all", CardAt(100, 100), nullptr, false},
    };
    const std::vector<PixelRect> none;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PixelRect>& areas = c.areas ? *c.areas : none;
        const PixelRect primary = areas.empty() ? PixelRect{0, 0, 1024, 738} : areas.back();
        const PixelRect got = StartPlace(c.stored, design, strip, primary, areas);
        const PixelRect want = c.kept ? c.stored : MovedInside(design, primary);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right - got.left, 207);
    }
}

TEST(CardPlacement, OutOfSightCardStartsAtTheDesignPlaceMovedIntoThePrimaryMonitor) {
    const PixelRect primary = {0, 0, 1024, 738};
    const std::vector<PixelRect> areas = {primary};
    // 240 DPI: the design place lies right of a 1024-pixel screen; the card is moved in.
    const PixelRect got = StartPlace({-5000, -5000, -4482, -4185}, {1192, 592, 1710, 1407},
                                     TitleStripInCard(240, 240), primary, areas);
    EXPECT_EQ(got.left, 506);
    EXPECT_EQ(got.top, 0);
    EXPECT_EQ(got.right, 1024);
}

TEST(CardPlacement, MovedInsideKeepsWhatFitsAndTheTopLeftOfWhatDoesNot) {
    const PixelRect area = {0, 0, 1366, 728};  // a 1366 x 768 laptop's work area
    const struct { PixelRect r, want; } cases[] = {
        {{100, 100, 400, 500}, {100, 100, 400, 500}},       // inside: unchanged
        {{581, 383, 1061, 901}, {581, 210, 1061, 728}},     // the dialog's design place at 150 %: up
        {{1300, -50, 1600, 250}, {1066, 0, 1366, 300}},     // past the right and top edges
        {{-10, 0, 1590, 900}, {0, 0, 1600, 900}},           // larger than the area: its corner in sight
    };
    for (const auto& c : cases) {
        const PixelRect got = MovedInside(c.r, area);
        EXPECT_EQ(got.left, c.want.left);
        EXPECT_EQ(got.top, c.want.top);
        EXPECT_EQ(got.right, c.want.right);
        EXPECT_EQ(got.bottom, c.want.bottom);
    }
}

TEST(CardPlacement, FirstLineTakesTwoRowsWhenLongOrWiderThanItsBox) {
    const struct { bool longerThan39; int width, box; bool tall; } cases[] = {
        {false, 200, 191, true},   // "Wed , Heavy Showers . High: 57  Low: 48" at 96 DPI
        {false, 191, 191, false},  // exactly fits
        {false, 150, 191, false},
        {true, 150, 191, true},    // the 40-character rule stays as it is
        {false, 480, 478, true},   // 250 % scaling
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstLineIsTall(c.longerThan39, c.width, c.box), c.tall) << c.width << " in " << c.box;
}

TEST(TwipsAndPixels, RoundAsMulDivDoesOverTheWholeRange) {
    // The reference: MulDiv's rule in 64-bit integers.
    const auto reference = [](int a, int b, int c) {
        const int64_t p = static_cast<int64_t>(a) * b, half = c / 2;
        const int64_t q = p >= 0 ? (p + half) / c : -((-p + half) / c);
        return static_cast<int>(q > INT32_MAX ? INT32_MAX : q < INT32_MIN ? INT32_MIN : q);
    };
    const int values[] = {0, 1, -1, 7, -7, 14, -14, 15, 719, 720, -720, 721, 3555, 7155, -7155, 46341, 1000000,
                          -1000000, 2982616, 2982617, 2147483647, -2147483647, INT32_MIN};
    const int dpis[] = {1, 72, 96, 120, 144, 168, 192, 216, 240, 288, 384, 480, 1440, 65536, 2000000};
    for (int v : values)
        for (int dpi : dpis) {
            EXPECT_EQ(TwipsToPixels(v, dpi), reference(v, dpi, 1440)) << v << " twips at " << dpi;
            EXPECT_EQ(PixelsToTwips(v, dpi), reference(v, 1440, dpi)) << v << " pixels at " << dpi;
        }
    for (int t = -20000; t <= 20000; ++t) ASSERT_EQ(TwipsToPixels(t, 144), reference(t, 144, 1440)) << t;
}
