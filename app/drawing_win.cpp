#include "app/drawing_win.h"

#include "app/dpi_win.h"

namespace {
const int kTwipsPerPixelAt96Dpi = 15;
}

COLORREF ToColorRef(Rgb c) { return RGB(c.r, c.g, c.b); }

Brushes::~Brushes() {
    for (const Made& b : brushes_) DeleteObject(b.brush);
}

HBRUSH Brushes::Get(Rgb c) {
    COLORREF key = ToColorRef(c);
    for (const Made& b : brushes_)
        if (b.colour == key) return b.brush;
    HBRUSH b = CreateSolidBrush(key);
    brushes_.push_back({key, b});
    return b;
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int dpi) {
    if (!bitmap) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BITMAP bm;
    GetObject(bitmap, sizeof(bm), &bm);
    DrawScaled(dc, 0, 0, mem, bm.bmWidth, bm.bmHeight, dpi);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void DrawScaled(HDC dc, int x, int y, HDC source, int w, int h, int dpi) {
    const int sw = TwipsToPixels(w * kTwipsPerPixelAt96Dpi, dpi);
    const int sh = TwipsToPixels(h * kTwipsPerPixelAt96Dpi, dpi);
    if (sw == w && sh == h) {
        BitBlt(dc, x, y, w, h, source, 0, 0, SRCCOPY);
        return;
    }
    const int mode = SetStretchBltMode(dc, HALFTONE);
    POINT origin;
    SetBrushOrgEx(dc, 0, 0, &origin);  // as HALFTONE asks
    StretchBlt(dc, x, y, sw, sh, source, 0, 0, w, h, SRCCOPY);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetStretchBltMode(dc, mode);
}

HBITMAP ScaledForScreen(HBITMAP bitmap, int dpi) {
    BITMAP bm;
    if (!bitmap || !GetObject(bitmap, sizeof(bm), &bm)) return nullptr;
    const int w = TwipsToPixels(bm.bmWidth * kTwipsPerPixelAt96Dpi, dpi);
    const int h = TwipsToPixels(bm.bmHeight * kTwipsPerPixelAt96Dpi, dpi);
    HDC screen = GetDC(nullptr);
    HBITMAP scaled = CreateCompatibleBitmap(screen, w, h);
    HDC mem = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!scaled || !mem) {
        if (scaled) DeleteObject(scaled);
        if (mem) DeleteDC(mem);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(mem, scaled);
    DrawBitmap(mem, bitmap, dpi);
    SelectObject(mem, old);
    DeleteDC(mem);
    return scaled;
}
