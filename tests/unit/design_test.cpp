// What a user sees of the card's and the options dialog's designs: where
// each control lies in pixels at 96, 120 and 144 DPI, and what must hold of
// every text and colour (readable, shown as written, buttons that say what
// they do). The rows themselves (ids, kinds, tab indexes) are
// not copied here: the end-to-end tests read them from the exe's own tables
// and check them on screen.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "card/card_layout.h"
#include "options/options_layout.h"

namespace {

struct Px {
    int x, y, w, h;
    bool operator==(const Px& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

std::ostream& operator<<(std::ostream& os, const Px& p) {
    return os << "{" << p.x << ", " << p.y << ", " << p.w << ", " << p.h << "}";
}

// A control's rectangle in its parent, in pixels (a line's height is 0).
struct Place {
    const char* name;
    Px at96, at120, at144;
};

struct Table {
    const ControlSpec* rows;
    size_t count;
    const ControlSpec* Named(const std::string& name) const {
        for (size_t i = 0; i < count; ++i)
            if (name == rows[i].name) return &rows[i];
        return nullptr;
    }
};

Px PixelsAt(const ControlSpec& r, int dpi) {
    return {TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi), TwipsToPixels(r.width, dpi),
            TwipsToPixels(r.height, dpi)};
}

void CheckPlaces(const Table& t, const std::vector<Place>& want) {
    EXPECT_EQ(t.count, want.size()) << "every control of the design has its place here";
    for (const Place& p : want) {
        SCOPED_TRACE(p.name);
        const ControlSpec* r = t.Named(p.name);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(PixelsAt(*r, 96), p.at96);
        EXPECT_EQ(PixelsAt(*r, 120), p.at120);
        EXPECT_EQ(PixelsAt(*r, 144), p.at144);
    }
}

// How light a colour looks (ITU-R BT.601 weights), 0 to 255.
double Luma(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

bool PaintedByTheProgram(ControlKind k) {
    return k == ControlKind::Label || k == ControlKind::Frame || k == ControlKind::CheckBox ||
           k == ControlKind::OptionButton;
}

const Table kCard{kCardControls, kCardControlCount};
const Table kOptions{kOptionsControls, kOptionsControlCount};

}  // namespace

TEST(Design, WindowSizesAndFirstPlaces) {
    // Client width and height at 96, 120 and 144 DPI, and where the window
    // first opens at 96 DPI, before any position is stored.
    struct Window {
        const char* name;
        int width, height, left, top;  // twips
        int sizes[3][2];
        int first[2];
    };
    const Window windows[] = {
        {"card", kCardWidthTwips, kCardHeightTwips, kCardDesignLeft, kCardDesignTop,
         {{207, 326}, {259, 408}, {311, 489}}, {477, 237}},
        {"options", kOptionsWidthTwips, kOptionsHeightTwips, kOptionsDesignLeft, kOptionsDesignTop,
         {{435, 327}, {544, 409}, {653, 491}}, {387, 255}},
    };
    const int dpis[3] = {96, 120, 144};
    for (const Window& w : windows) {
        SCOPED_TRACE(w.name);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(TwipsToPixels(w.width, dpis[i]), w.sizes[i][0]) << "at " << dpis[i];
            EXPECT_EQ(TwipsToPixels(w.height, dpis[i]), w.sizes[i][1]) << "at " << dpis[i];
        }
        EXPECT_EQ(TwipsToPixels(w.left, 96), w.first[0]);
        EXPECT_EQ(TwipsToPixels(w.top, 96), w.first[1]);
    }
}

TEST(CardDesign, ControlsInPixelsAt96And120And144Dpi) {
    // The icon box (57 x 55) is wider than the 52-pixel pictures; the options
    // picture's box (76 x 26) cuts its 77 x 28 image.
    CheckPlaces(kCard, {
        {"Picture2", {119, 288, 76, 26}, {149, 360, 95, 33}, {179, 432, 114, 39}},
        {"Picture1", {141, 85, 57, 55}, {176, 106, 71, 69}, {212, 128, 86, 83}},
        {"Frame1", {4, 4, 199, 23}, {5, 5, 249, 29}, {6, 6, 299, 35}},
        {"Label3", {178, 3, 18, 17}, {223, 4, 23, 21}, {267, 5, 27, 26}},
        {"Label6", {6, 3, 81, 17}, {8, 4, 101, 21}, {9, 5, 122, 26}},
        {"txtDateTime", {9, 50, 188, 17}, {11, 63, 235, 21}, {14, 75, 282, 26}},
        {"txtTitle", {9, 33, 188, 17}, {11, 41, 235, 21}, {14, 50, 282, 26}},
        {"lblBar", {8, 269, 193, 9}, {10, 336, 241, 11}, {12, 404, 290, 14}},
        {"txtWSpeed", {79, 133, 68, 18}, {99, 166, 85, 23}, {119, 200, 102, 27}},
        {"Line2", {8, 280, 192, 0}, {10, 350, 240, 0}, {12, 420, 288, 0}},
        {"Line1", {8, 72, 192, 0}, {10, 90, 240, 0}, {12, 108, 288, 0}},
        {"txtDay1", {8, 203, 191, 17}, {10, 254, 239, 21}, {12, 305, 287, 26}},
        {"txtDay2", {9, 227, 191, 33}, {11, 284, 239, 41}, {14, 341, 287, 50}},
        {"Label8", {11, 133, 73, 18}, {14, 166, 91, 23}, {17, 200, 110, 27}},
        {"Label9", {11, 180, 57, 18}, {14, 225, 71, 23}, {17, 270, 86, 27}},
        {"txtWTemp", {79, 110, 61, 18}, {99, 138, 76, 23}, {119, 165, 92, 27}},
        {"txtCond", {79, 156, 114, 18}, {99, 195, 143, 23}, {119, 234, 171, 27}},
        {"txtTemp", {79, 88, 61, 18}, {99, 110, 76, 23}, {119, 132, 92, 27}},
        {"Label4", {11, 110, 57, 18}, {14, 138, 71, 23}, {17, 165, 86, 27}},
        {"Label2", {11, 156, 73, 18}, {14, 195, 91, 23}, {17, 234, 110, 27}},
        {"Label1", {11, 88, 43, 18}, {14, 110, 54, 23}, {17, 132, 65, 27}},
    });
}

TEST(Design, EveryTextIsReadableOnItsBackground) {
    // The controls the program paints itself carry their own colours: a
    // text in them stands out from its background (at least 100 of 255 in
    // lightness, as cyan or white on black, silver on the dialog's grey).
    for (const Table* t : {&kCard, &kOptions}) {
        for (size_t i = 0; i < t->count; ++i) {
            const ControlSpec& r = t->rows[i];
            if (!PaintedByTheProgram(r.kind) || !r.text || !*r.text) continue;
            SCOPED_TRACE(r.name);
            EXPECT_GE(std::abs(Luma(r.fg) - Luma(r.bg)), 100.0);
        }
    }
}

TEST(Design, EveryTextShowsAsWrittenInAnyCodePage) {
    // Printable ASCII only, every code page shows it; no '&', which a
    // button or box would turn into an underlined letter.
    for (const Table* t : {&kCard, &kOptions}) {
        for (size_t i = 0; i < t->count; ++i) {
            const ControlSpec& r = t->rows[i];
            SCOPED_TRACE(r.name);
            for (const char* c = r.text ? r.text : ""; *c; ++c) {
                EXPECT_TRUE(*c >= 0x20 && *c < 0x7f) << "byte " << int(static_cast<unsigned char>(*c));
                EXPECT_NE(*c, '&');
            }
        }
    }
}

TEST(Design, EveryControlAUserPressesOrTicksSaysWhatItDoes) {
    for (const Table* t : {&kCard, &kOptions}) {
        for (size_t i = 0; i < t->count; ++i) {
            const ControlSpec& r = t->rows[i];
            const bool pressed = r.kind == ControlKind::Button || r.kind == ControlKind::CheckBox ||
                                 r.kind == ControlKind::OptionButton;
            if (!pressed) continue;
            SCOPED_TRACE(r.name);
            EXPECT_GE(std::string(r.text ? r.text : "").size(), 2u);
        }
    }
}

TEST(CardDesign, ABlankCardShowsNoValuesAndSaysWhereToChooseAPlace) {
    // Until the first reply every value label is empty, but the title,
    // which points at the options, where a place is chosen.
    for (size_t i = 0; i < kCard.count; ++i) {
        const ControlSpec& r = kCard.rows[i];
        if (std::string(r.name).rfind("txt", 0) != 0) continue;
        SCOPED_TRACE(r.name);
        const std::string text = r.text ? r.text : "";
        if (std::string(r.name) == "txtTitle")
            EXPECT_NE(text.find("options"), std::string::npos);
        else
            EXPECT_EQ(text, "");
    }
}

TEST(CardDesign, ForecastLinesInPixels) {
    // A blank card puts the second line at 3400 twips, not the design's
    // 3405: the same 227 px at 96 DPI, one pixel higher (283, not 284) at
    // 120 DPI. A long first line grows to 33 px and pushes the second line
    // down to 240 px.
    EXPECT_EQ(TwipsToPixels(kDay1TopTwips, 96), 203);
    EXPECT_EQ(TwipsToPixels(kDay2ResetTopTwips, 96), 227);
    EXPECT_EQ(TwipsToPixels(kDay2ResetTopTwips, 120), 283);
    EXPECT_EQ(TwipsToPixels(kDay1TallHeightTwips, 96), 33);
    EXPECT_EQ(TwipsToPixels(kDay2ResetTopTwips + kDay2TallShiftTwips, 96), 240);
}

TEST(OptionsDesign, ControlsInPixelsAt96And120And144Dpi) {
    // Frame3 starts above the client area: -3 px at 96 DPI.
    CheckPlaces(kOptions, {
        {"Frame3", {3, -3, 233, 116}, {4, -4, 291, 145}, {5, -5, 350, 174}},
        {"cboRefresh", {72, 77, 105, 21}, {90, 96, 131, 26}, {108, 116, 158, 32}},
        {"chkOnTray", {16, 41, 201, 17}, {20, 51, 251, 21}, {24, 62, 302, 26}},
        {"chkOnStart", {16, 16, 201, 17}, {20, 20, 251, 21}, {24, 24, 302, 26}},
        {"Label5", {16, 79, 49, 17}, {20, 99, 61, 21}, {24, 119, 74, 26}},
        {"cmdOK", {344, 286, 73, 25}, {430, 358, 91, 31}, {516, 429, 110, 38}},
        {"Command2", {252, 287, 73, 25}, {315, 359, 91, 31}, {378, 431, 110, 38}},
        {"Frame2", {242, 184, 188, 81}, {303, 230, 235, 101}, {363, 276, 282, 122}},
        {"optC", {60, 47, 113, 17}, {75, 59, 141, 21}, {90, 71, 170, 26}},
        {"optF", {60, 22, 121, 17}, {75, 28, 151, 21}, {90, 33, 182, 26}},
        {"Frame1", {3, 117, 233, 148}, {4, 146, 291, 185}, {5, 176, 350, 222}},
        {"Command1", {189, 26, 33, 19}, {236, 33, 41, 24}, {284, 39, 50, 29}},
        {"txtWord", {14, 26, 171, 18}, {18, 33, 214, 23}, {21, 39, 257, 27}},
        {"Label3", {18, 78, 137, 17}, {23, 98, 171, 21}, {27, 117, 206, 26}},
        {"txtLocation", {23, 99, 193, 31}, {29, 124, 241, 39}, {35, 149, 290, 47}},
        {"Label1", {18, 53, 201, 17}, {23, 66, 251, 21}, {27, 80, 302, 26}},
        {"lblAbout", {240, 8, 153, 169}, {300, 10, 191, 211}, {360, 12, 230, 254}},
    });
}

TEST(Design, ScalingsThatDoNotDivide1440KeepTheDesignsProportions) {
    // 175 %, 200 % and 300 % are common laptop and 4K defaults; 97 and 300
    // DPI are odd settings a user can type. Sizes come from the true DPI,
    // rounded once: a whole twips-per-pixel figure would give 444 x 698 at
    // 200 % and 389 x 611 at 175 %.
    struct Case {
        int dpi;
        int card[2], options[2];
    };
    const Case cases[] = {
        {97, {209, 329}, {440, 330}},
        {168, {362, 571}, {761, 572}},
        {192, {414, 652}, {870, 654}},
        {288, {621, 978}, {1305, 981}},
        {300, {647, 1019}, {1359, 1022}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(TwipsToPixels(kCardWidthTwips, c.dpi), c.card[0]);
        EXPECT_EQ(TwipsToPixels(kCardHeightTwips, c.dpi), c.card[1]);
        EXPECT_EQ(TwipsToPixels(kOptionsWidthTwips, c.dpi), c.options[0]);
        EXPECT_EQ(TwipsToPixels(kOptionsHeightTwips, c.dpi), c.options[1]);
    }
}

TEST(Design, PixelPlacesSurviveTheTripThroughTwips) {
    // The card's place is stored in twips and read back at every restore: a
    // card dragged to any pixel comes back to that pixel, at every scaling,
    // on either side of the primary monitor.
    for (int dpi : {96, 97, 120, 144, 168, 192, 240, 288, 300}) {
        for (int px : {-3000, -1921, -1, 0, 1, 7, 477, 1919, 2183, 3839}) {
            EXPECT_EQ(TwipsToPixels(PixelsToTwips(px, dpi), dpi), px) << px << " px at " << dpi;
        }
    }
    // Halves round away from zero, as Windows' MulDiv does.
    EXPECT_EQ(TwipsToPixels(4890, 168), 571);
    EXPECT_EQ(TwipsToPixels(-4890, 168), -571);
    EXPECT_EQ(TwipsToPixels(15, 0), 1) << "an unreadable DPI counts as 96";
}
