#pragma once
// A window's design as a table: one row per control, positions in twips.
// Every label paints its background colour; where a design label is see-through
// over a plain background, its background colour is that of the window.
#include <cstdint>

enum class ControlKind { Label, Picture, Frame, Line, CheckBox, OptionButton, DropList, TextBox, Button };

enum LayoutFlags : unsigned {
    kCentred = 1u << 0,
    kDesignFont = 1u << 1,   // "MS Sans Serif" 9.75 pt
    kSystemColour = 1u << 2, // painted in the application workspace colour
    kFramed = 1u << 3,       // a panel with a border line and its caption in the top edge
    kNotify = 1u << 4,       // a label with mouse handlers of its own
    kSeeThrough = 1u << 5,   // the window's background picture shows behind the text
};

struct Rgb { uint8_t r, g, b; };

struct ControlSpec {
    int id;                  // child window id
    const char* name;        // the control's design name
    ControlKind kind;
    int parentId;            // 0: the window itself
    int left, top, width, height;  // twips; a horizontal line has height 0
    Rgb fg, bg;
    unsigned flags;
    const char* text;
    int tabIndex;            // order within its panel and of the Tab key; -1: none
};

// Pixels from twips at the screen's true DPI (twips x DPI / 1440), rounded
// once to the nearest. A whole twips-per-pixel figure (1440 / DPI) would be
// wrong at every DPI that does not divide 1440: 7 instead of 7.5 at 192 DPI
// makes the card 444 pixels wide instead of 414.
int TwipsToPixels(int twips, int dpi);
// The inverse: twips from pixels at that DPI, rounded once. A pixel place
// turned into twips and back is the same pixel at every DPI up to 1440.
int PixelsToTwips(int pixels, int dpi);

struct PixelRect {
    int left, top, right, bottom;
};

// `r` moved the least that puts it inside `area`; where it is larger than
// the area, its top-left corner is kept in sight.
PixelRect MovedInside(const PixelRect& r, const PixelRect& area);
