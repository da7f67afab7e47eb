#pragma once
// Child controls created from a design table: one row per control, placed
// in pixels from its twips, coloured and lettered from its row.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <vector>
#include <string>

#include "app/drawing_win.h"
#include "app/layout_types.h"

// Mouse activity on a child that the top-level window handles:
// wParam = MAKEWPARAM(child id, mouse message), lParam = MK_* key flags.
const UINT kMsgChildMouse = WM_APP + 10;
// A panel asks its top-level window to draw its content: wParam = HDC, lParam = the panel.
const UINT kMsgPaintChild = WM_APP + 11;

// The button mask the handlers use: 1 left, 2 right, 4 middle.
int ButtonMask(WPARAM keyFlags);

// Fonts of one window at one DPI: "MS Sans Serif" 9.75 pt for the marked
// controls and the default font for the rest.
class Fonts {
public:
    explicit Fonts(int dpi);
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;
    HFONT design() const { return design_; }
    HFONT standard() const { return standard_; }

private:
    HFONT design_;
    HFONT standard_;
};

// Creates every control of a design table in `window`, in table order
// (each row's parent created before it), into `controls` in the table's
// order; false as soon as one cannot be made.
bool CreateDesignControls(const ControlSpec* rows, size_t count, HWND window, const Fonts& fonts, int dpi,
                          std::vector<HWND>& controls);

// A control's place and size from its row at `dpi` (one MulDiv per figure),
// in its parent's client pixels.
RECT DesignPlace(const ControlSpec& row, int dpi);

// Moves a control to its row's place at `dpi` and gives it its font.
void LayOutDesignControl(HWND control, const ControlSpec& row, const Fonts& fonts, int dpi);

// The row a control was created from (stored with the control).
const ControlSpec* RowOf(HWND control);

// Sends the control's mouse messages to its top-level window as kMsgChildMouse.
bool ForwardMouseToRoot(HWND control);

// Colours a static, check box or option button from its row; returns the
// brush for WM_CTLCOLORSTATIC, or null for a control without a row.
HBRUSH ColourStatic(HWND control, HDC dc, Brushes& brushes);

void SetText(HWND control, const std::string& text);
std::string GetText(HWND control);
