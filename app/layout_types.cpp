#include "app/layout_types.h"

#include <cstdint>

namespace {
const int kTwipsPerInch = 1440;
const int kFallbackDpi = 96;

// a * b / c to the nearest whole number, halves away from zero: what
// Windows' MulDiv gives, in one rounding step.
int MulDivRounded(int a, int b, int c) {
    const int64_t product = static_cast<int64_t>(a) * b;
    const int64_t half = c / 2;
    const int64_t q = product >= 0 ? (product + half) / c : -((-product + half) / c);
    if (q > INT32_MAX) return INT32_MAX;
    if (q < INT32_MIN) return INT32_MIN;
    return static_cast<int>(q);
}
}  // namespace

int TwipsToPixels(int twips, int dpi) {
    if (dpi <= 0) dpi = kFallbackDpi;
    return MulDivRounded(twips, dpi, kTwipsPerInch);
}

int PixelsToTwips(int pixels, int dpi) {
    if (dpi <= 0) dpi = kFallbackDpi;
    return MulDivRounded(pixels, kTwipsPerInch, dpi);
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
