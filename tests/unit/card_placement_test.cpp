// The card's start-up place on the monitors it finds, and when its first
// forecast line takes two rows.
#include <gtest/gtest.h>

#include "card/card_placement.h"

TEST(CardPlacement, AStoredPlaceIsKeptWhileAnyPartOfTheCardIsOnAMonitor) {
    const std::vector<PixelRect> one = {{0, 0, 1024, 738}};                          // a taskbar below
    const std::vector<PixelRect> two = {{0, 0, 1920, 1040}, {1920, 0, 3840, 1080}};  // side by side
    const struct { PixelRect card; const std::vector<PixelRect>* areas; bool kept; } cases[] = {
        {{477, 237, 684, 563}, &one, true},            // the design place
        {{1000, 700, 1207, 1026}, &one, true},         // mostly off, a corner still on
        {{1024, 100, 1231, 426}, &one, false},         // just right of the screen
        {{-207, 100, 0, 426}, &one, false},            // just left of it
        {{200, 738, 407, 1064}, &one, false},          // under the taskbar only
        {{-2000, -2000, -1793, -1674}, &one, false},   // -30000 twips
        {{2600, 100, 2807, 426}, &two, true},          // on the second monitor
        {{2600, 100, 2807, 426}, &one, false},         // ... once it is unplugged
        {{1800, 1000, 2007, 1326}, &two, true},        // across both
        {{100, 100, 307, 426}, nullptr, false},        // no monitor at all
    };
    const std::vector<PixelRect> none;
    for (const auto& c : cases) {
        EXPECT_EQ(TouchesAnyWorkArea(c.card, c.areas ? *c.areas : none), c.kept)
            << c.card.left << "," << c.card.top;
    }
}

TEST(CardPlacement, OutOfSightCardStartsAtTheDesignPlaceOnThePrimaryMonitor) {
    const PixelRect primary = {0, 0, 1024, 738};
    const std::vector<PixelRect> areas = {primary};
    const struct { PixelRect stored, design; PixelRect want; } cases[] = {
        // -30000 twips at 96 DPI: back to the design place.
        {{-2000, -2000, -1793, -1674}, {477, 237, 684, 563}, {477, 237, 684, 563}},
        // Partly visible: stays.
        {{900, 600, 1107, 926}, {477, 237, 684, 563}, {900, 600, 1107, 926}},
        // 240 DPI: the design place lies right of a 1024-pixel screen; the card is moved in.
        {{-5000, -5000, -4482, -4185}, {1192, 592, 1710, 1407}, {506, 0, 1024, 815}},
    };
    for (const auto& c : cases) {
        const PixelRect got = StartPlace(c.stored, c.design, primary, areas);
        EXPECT_EQ(got.left, c.want.left);
        EXPECT_EQ(got.top, c.want.top);
        EXPECT_EQ(got.right - got.left, c.stored.right - c.stored.left);
    }
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
