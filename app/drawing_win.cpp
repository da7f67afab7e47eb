#include "app/drawing_win.h"

COLORREF ToColorRef(Rgb c) { return RGB(c.r, c.g, c.b); }

Brushes::~Brushes() {
    for (auto& b : brushes_) DeleteObject(b.second);
}

HBRUSH Brushes::Get(Rgb c) {
    COLORREF key = ToColorRef(c);
    auto it = brushes_.find(key);
    if (it != brushes_.end()) return it->second;
    HBRUSH b = CreateSolidBrush(key);
    brushes_[key] = b;
    return b;
}

void DrawBitmap(HDC dc, HBITMAP bitmap) {
    if (!bitmap) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BITMAP bm;
    GetObject(bitmap, sizeof(bm), &bm);
    BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}
