#include "app/layout_types.h"

#include <cmath>

int TwipsToPixels(int twips, int twipsPerPixel) {
    if (twipsPerPixel <= 0) twipsPerPixel = 15;
    return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}

PixelRect MovedInside(const PixelRect& r, const PixelRect& area) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    int left = r.left, top = r.top;
    if (left + w > area.right) left = area.right - w;
    if (top + h > area.bottom) top = area.bottom - h;
    if (left < area.left) left = area.left;
    if (top < area.top) top = area.top;
    return {left, top, left + w, top + h};
}
