#pragma once
// Colours, brushes and bitmaps as the windows draw them.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <vector>

#include "app/layout_types.h"

COLORREF ToColorRef(Rgb c);

// Solid brushes of one window, made once per colour and freed with it.
class Brushes {
public:
    Brushes() = default;
    Brushes(const Brushes&) = delete;
    Brushes& operator=(const Brushes&) = delete;
    ~Brushes();
    HBRUSH Get(Rgb c);

private:
    struct Made {
        COLORREF colour;
        HBRUSH brush;
    };
    std::vector<Made> brushes_;  // a window uses a handful of colours
};

// Draws `source`'s w x h pixels, drawn for 96 DPI, at (x, y) at the size
// the layout has at `dpi`: pixel for pixel at 96 DPI, smoothed when
// enlarged for a higher one.
void DrawScaled(HDC dc, int x, int y, HDC source, int w, int h, int dpi);

// Draws a bitmap from the top-left corner, scaled as above; null draws nothing.
void DrawBitmap(HDC dc, HBITMAP bitmap, int dpi);

// A new bitmap holding `bitmap` as DrawBitmap draws it on this screen (its
// pixels at 96 DPI, scaled to `dpi`); null on failure.
HBITMAP ScaledForScreen(HBITMAP bitmap, int dpi);
