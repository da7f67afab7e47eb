#pragma once
// A window's design as a table: one row per control, positions in twips.
#include <cstdint>

enum class ControlKind { Label, Picture, Frame, Line, CheckBox, OptionButton, DropList, TextBox, Button };

enum LayoutFlags : unsigned {
    kOpaque = 1u << 0,       // paints its background colour
    kCentred = 1u << 1,
    kDesignFont = 1u << 2,   // "MS Sans Serif" 9.75 pt
    kSystemColour = 1u << 3, // painted in the application workspace colour
    kFramed = 1u << 4,       // a panel with a border line and its caption in the top edge
    kNotify = 1u << 5,       // a label with mouse handlers of its own
    kSeeThrough = 1u << 6,   // the window's background picture shows behind the text
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
    int tabIndex;            // -1 when the control takes no focus
};

// Pixels from twips at the screen's twips per pixel (1440 / DPI).
int TwipsToPixels(int twips, int twipsPerPixel);
int PixelsToTwips(int pixels, int twipsPerPixel);
