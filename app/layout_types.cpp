#include "app/layout_types.h"

#include <cstdint>

namespace {
const int kTwipsPerInch = 1440;
const int kFallbackDpi = 96;

// a * b / c (c > 0) to the nearest whole number, halves away from zero:
// what Windows' MulDiv gives, in one rounding step. Divided as a double, so
// the exe needs no 64-bit division helpers: a product and half of c below
// 2^53 are exact there and so is the truncated quotient; a larger product
// gives a quotient beyond int's range for any c below 2^21, clamped.
int MulDivRounded(int a, int b, int c) {
    const int64_t product = static_cast<int64_t>(a) * b;
    const double q = (static_cast<double>(product >= 0 ? product : -product) + c / 2) / c;
    if (q >= 2147483648.0) return product >= 0 ? INT32_MAX : INT32_MIN;
    const int magnitude = static_cast<int>(q);
    return product >= 0 ? magnitude : -magnitude;
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
