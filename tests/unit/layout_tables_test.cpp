// The card's and the dialog's control tables checked row by row against
// the designed layouts: order, kind, parent, twips rectangle, colours,
// look flags, initial text and focus order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "card/card_layout.h"
#include "options/options_layout.h"

namespace {

enum Check : unsigned { kFg = 1, kBg = 2 };

struct Row {
    int id;
    const char* name;
    ControlKind kind;
    int parentId;
    int left, top, width, height;
    unsigned checks;  // which colours the design fixes
    Rgb fg, bg;
    unsigned flags;   // expected look flags
    const char* text;
    int tabIndex;     // -1: takes no focus
};

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kCyan{0, 255, 255};
const Rgb kDark{27, 31, 30}, kSilver{192, 192, 192}, kLightCyan{128, 255, 255};

std::string Str(const char* s) { return s ? s : ""; }

bool Same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Lines are rows too: from (left, top), `width` across and `height` down,
// so the design's (120, 4200) to (3000, 4200) is 120, 4200, 2880, 0.
void CheckTable(const ControlSpec* table, size_t count, const std::vector<Row>& want,
                const ControlSpec* (*find)(int)) {
    ASSERT_EQ(count, want.size());
    const unsigned lookFlags = kOpaque | kCentred | kDesignFont | kSystemColour;
    for (size_t i = 0; i < want.size(); ++i) {
        const ControlSpec& got = table[i];
        const Row& w = want[i];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(got.id, w.id);
        EXPECT_EQ(Str(got.name), w.name);
        EXPECT_EQ(got.kind, w.kind);
        EXPECT_EQ(got.parentId, w.parentId);
        EXPECT_EQ(got.left, w.left);
        EXPECT_EQ(got.top, w.top);
        EXPECT_EQ(got.width, w.width);
        EXPECT_EQ(got.height, w.height);
        if (w.checks & kFg) {
            EXPECT_TRUE(Same(got.fg, w.fg)) << "fg " << int(got.fg.r) << "," << int(got.fg.g) << "," << int(got.fg.b);
        }
        if (w.checks & kBg) {
            EXPECT_TRUE(Same(got.bg, w.bg)) << "bg " << int(got.bg.r) << "," << int(got.bg.g) << "," << int(got.bg.b);
        }
        // Pictures and frames always paint their background; only labels choose.
        unsigned gotFlags = got.flags & lookFlags;
        if (w.kind != ControlKind::Label) gotFlags &= ~unsigned(kOpaque);
        EXPECT_EQ(gotFlags, w.flags);
        EXPECT_EQ(Str(got.text), Str(w.text));
        EXPECT_EQ(got.tabIndex, w.tabIndex);
        EXPECT_EQ(find(w.id), &got);
    }
    EXPECT_EQ(find(0), nullptr);
    EXPECT_EQ(find(99999), nullptr);
}

}  // namespace

TEST(CardLayout, TableMatchesTheDesignedCard) {
    using K = ControlKind;
    const unsigned FB = kFg | kBg;
    const std::vector<Row> want = {
        {IDC_PICTURE2, "Picture2", K::Picture, 0, 1785, 4320, 1140, 390, kBg, {}, kBlack, 0, nullptr, -1},
        {IDC_PICTURE1, "Picture1", K::Picture, 0, 2115, 1275, 855, 825, kBg, {}, kWhite, 0, nullptr, -1},
        {IDC_FRAME1, "Frame1", K::Frame, 0, 60, 60, 2985, 345, kBg, {}, kWhite, 0, nullptr, -1},
        {IDC_LABEL3, "Label3", K::Label, IDC_FRAME1, 2670, 45, 270, 255, FB, kWhite, kBlack, kOpaque, "  _", -1},
        {IDC_LABEL6, "Label6", K::Label, IDC_FRAME1, 90, 45, 1215, 255, FB, kBlack, kWhite, kOpaque | kDesignFont, "Cloudwick", -1},
        {IDC_TXTDATETIME, "txtDateTime", K::Label, 0, 135, 750, 2820, 255, FB, kCyan, kBlack, kOpaque | kCentred, "", -1},
        {IDC_TXTTITLE, "txtTitle", K::Label, 0, 135, 495, 2820, 255, FB, kCyan, kBlack, kOpaque | kCentred, "options: Select Location", -1},
        {IDC_LBLBAR, "lblBar", K::Label, 0, 120, 4035, 2895, 135, kFg, kCyan, {}, 0, "----------", -1},
        {IDC_TXTWSPEED, "txtWSpeed", K::Label, 0, 1185, 1995, 1020, 270, kFg, kCyan, {}, 0, "", -1},
        {IDC_LINE2, "Line2", K::Line, 0, 120, 4200, 2880, 0, 0, {}, {}, kSystemColour, nullptr, -1},
        {IDC_LINE1, "Line1", K::Line, 0, 120, 1080, 2880, 0, 0, {}, {}, kSystemColour, nullptr, -1},
        {IDC_TXTDAY1, "txtDay1", K::Label, 0, 120, 3045, 2865, 255, kFg, kCyan, {}, 0, "", -1},
        {IDC_TXTDAY2, "txtDay2", K::Label, 0, 135, 3405, 2865, 495, kFg, kCyan, {}, 0, "", -1},
        {IDC_LABEL8, "Label8", K::Label, 0, 165, 1995, 1095, 270, kFg, kCyan, {}, 0, "Wind Speed :", -1},
        {IDC_LABEL9, "Label9", K::Label, 0, 165, 2700, 855, 270, kFg, kCyan, {}, 0, "Forecast :", -1},
        {IDC_TXTWTEMP, "txtWTemp", K::Label, 0, 1185, 1650, 915, 270, kFg, kCyan, {}, 0, "", -1},
        {IDC_TXTCOND, "txtCond", K::Label, 0, 1185, 2340, 1710, 270, kFg, kCyan, {}, 0, "", -1},
        {IDC_TXTTEMP, "txtTemp", K::Label, 0, 1185, 1320, 915, 270, kFg, kCyan, {}, 0, "", -1},
        {IDC_LABEL4, "Label4", K::Label, 0, 165, 1650, 855, 270, kFg, kCyan, {}, 0, "Feels Like :", -1},
        {IDC_LABEL2, "Label2", K::Label, 0, 165, 2340, 1095, 270, kFg, kCyan, {}, 0, "Condition :", -1},
        {IDC_LABEL1, "Label1", K::Label, 0, 165, 1320, 645, 270, kFg, kCyan, {}, 0, "Temp :", -1},
    };
    CheckTable(kCardControls, kCardControlCount, want, FindCardControl);
}

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
    EXPECT_EQ(PixelsToTwips(207, 15), 3105);
    EXPECT_EQ(PixelsToTwips(-3, 15), -45);
    // 120 DPI: 12 twips per pixel.
    EXPECT_EQ(TwipsToPixels(3600, 12), 300);
    EXPECT_EQ(PixelsToTwips(300, 12), 3600);
}

TEST(OptionsLayout, TableMatchesTheDesignedDialog) {
    using K = ControlKind;
    const unsigned FB = kFg | kBg;
    const std::vector<Row> want = {
        {IDC_FRAME3, "Frame3", K::Frame, 0, 45, -45, 3495, 1740, kBg, {}, kDark, 0, "", -1},
        {IDC_CBOREFRESH, "cboRefresh", K::DropList, IDC_FRAME3, 1080, 1155, 1575, 315, 0, {}, {}, 0, "", 14},
        {IDC_CHKONTRAY, "chkOnTray", K::CheckBox, IDC_FRAME3, 240, 615, 3015, 255, FB, kWhite, kDark, 0, "Start minimized in System Tray", 11},
        {IDC_CHKONSTART, "chkOnStart", K::CheckBox, IDC_FRAME3, 240, 240, 3015, 255, FB, kWhite, kDark, 0, "Start on Windows", 10},
        {IDC_OPT_LABEL5, "Label5", K::Label, IDC_FRAME3, 240, 1185, 735, 255, FB, kWhite, kDark, kOpaque, "Refresh", -1},
        {IDC_CMDOK, "cmdOK", K::Button, 0, 5160, 4290, 1095, 375, 0, {}, {}, 0, "Okay", 8},
        {IDC_COMMAND2, "Command2", K::Button, 0, 3780, 4305, 1095, 375, 0, {}, {}, 0, "Cancel", 7},
        {IDC_FRAME2, "Frame2", K::Frame, 0, 3630, 2760, 2820, 1215, FB, kSilver, kDark, 0, "Units", -1},
        {IDC_OPTC, "optC", K::OptionButton, IDC_FRAME2, 900, 705, 1695, 255, FB, kWhite, kDark, 0, "Celsius, Kmph", 6},
        {IDC_OPTF, "optF", K::OptionButton, IDC_FRAME2, 900, 330, 1815, 255, FB, kWhite, kDark, 0, "Fahrenheit, Mph", 5},
        {IDC_OPT_FRAME1, "Frame1", K::Frame, 0, 45, 1755, 3495, 2220, FB, kSilver, kDark, 0, "Select your location", -1},
        {IDC_COMMAND1, "Command1", K::Button, IDC_OPT_FRAME1, 2835, 390, 495, 290, 0, {}, {}, 0, "Find", 3},
        {IDC_TXTWORD, "txtWord", K::TextBox, IDC_OPT_FRAME1, 210, 390, 2565, 270, 0, {}, {}, kDesignFont, "", 2},
        {IDC_OPT_LABEL3, "Label3", K::Label, IDC_OPT_FRAME1, 270, 1170, 2055, 255, FB, kWhite, kDark, kOpaque, "Your current location is :", -1},
        {IDC_TXTLOCATION, "txtLocation", K::Label, IDC_OPT_FRAME1, 345, 1485, 2895, 465, FB, kLightCyan, kDark, kOpaque, "", -1},
        {IDC_OPT_LABEL1, "Label1", K::Label, IDC_OPT_FRAME1, 270, 795, 3015, 255, FB, kWhite, kDark, kOpaque, "Enter your city or  zip / pin  or landmark...", -1},
        {IDC_LBLABOUT, "lblAbout", K::Label, 0, 3600, 120, 2295, 2535, kFg, kWhite, {}, kCentred, " Cloudwick 1.0", -1},
    };
    CheckTable(kOptionsControls, kOptionsControlCount, want, FindOptionsControl);
}

TEST(OptionsLayout, TabMovesThroughTheDesignedOrder) {
    std::vector<const ControlSpec*> focusable;
    for (size_t i = 0; i < kOptionsControlCount; ++i)
        if (kOptionsControls[i].tabIndex >= 0) focusable.push_back(&kOptionsControls[i]);
    std::sort(focusable.begin(), focusable.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::string> order;
    for (const ControlSpec* c : focusable) order.push_back(c->name);
    EXPECT_EQ(order, (std::vector<std::string>{"txtWord", "Command1", "optF", "optC", "Command2",
                                               "cmdOK", "chkOnStart", "chkOnTray", "cboRefresh"}));
}

TEST(OptionsLayout, DialogNumbers) {
    EXPECT_EQ(kOptionsWidthTwips, 6525);
    EXPECT_EQ(kOptionsHeightTwips, 4905);
    EXPECT_EQ(TwipsToPixels(kOptionsWidthTwips, 15), 435);
    EXPECT_EQ(TwipsToPixels(kOptionsHeightTwips, 15), 327);
    EXPECT_EQ(kOptionsDesignLeft, 5805);
    EXPECT_EQ(kOptionsDesignTop, 3825);
}
