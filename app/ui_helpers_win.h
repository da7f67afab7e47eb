#pragma once
// Shared pieces of the two windows: twips, fonts, brushes, and controls
// created from a design table.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <map>
#include <string>

#include "card/layout_types.h"

// Mouse activity on a child that the top-level window handles:
// wParam = MAKEWPARAM(child id, mouse message), lParam = MK_* key flags.
const UINT kMsgChildMouse = WM_APP + 10;
// A panel asks its top-level window to draw its content: wParam = HDC, lParam = the panel.
const UINT kMsgPaintChild = WM_APP + 11;

int TwipsPerPixelX();
int TwipsPerPixelY();
std::string ExeFolder();  // without the trailing backslash
COLORREF ToColorRef(Rgb c);

// The button mask the handlers use: 1 left, 2 right, 4 middle.
int ButtonMask(WPARAM keyFlags);

class Brushes {
public:
    ~Brushes();
    HBRUSH Get(Rgb c);

private:
    std::map<COLORREF, HBRUSH> brushes_;
};

// Fonts of one window: "MS Sans Serif" 9.75 pt for the marked controls and
// the default font for the rest.
class Fonts {
public:
    Fonts();
    ~Fonts();
    HFONT design() const { return design_; }
    HFONT standard() const { return standard_; }

private:
    HFONT design_;
    HFONT standard_;
};

// Creates the control of `row` in `parent`, placed in pixels from its twips.
HWND CreateDesignControl(const ControlSpec& row, HWND parent, const Fonts& fonts);

// Creates every control of a design table in `window`, in table order
// (each row's parent created before it); returns them by id.
std::map<int, HWND> CreateDesignControls(const ControlSpec* rows, size_t count, HWND window, const Fonts& fonts);
HWND ControlById(const std::map<int, HWND>& controls, int id);

// The row a control was created from (stored with the window).
const ControlSpec* RowOf(HWND control);

// Sends the control's mouse messages to its top-level window as kMsgChildMouse.
void ForwardMouseToRoot(HWND control);

// Colours a static, check box or option button from its row; returns the
// brush for WM_CTLCOLORSTATIC.
HBRUSH ColourStatic(HWND control, HDC dc, Brushes& brushes);

// Drops visual styles from a control so that its table colours show.
void UseClassicLook(HWND control);

// Draws a bitmap at its natural size from the top-left corner; null draws nothing.
void DrawBitmap(HDC dc, HBITMAP bitmap);

void SetText(HWND control, const std::string& text);
std::string GetText(HWND control);
