#include "card/card_placement.h"

#include <algorithm>
#include <cstdint>

#include "card/card_layout.h"

PixelRect TitleStripInCard(int dpiX, int dpiY) {
    const ControlSpec* strip = FindCardControl(IDC_FRAME1);
    const int left = TwipsToPixels(strip->left, dpiX), top = TwipsToPixels(strip->top, dpiY);
    return {left, top, left + TwipsToPixels(strip->width, dpiX), top + TwipsToPixels(strip->height, dpiY)};
}

bool StripIsOnWorkAreas(const PixelRect& strip, const std::vector<PixelRect>& workAreas) {
    // Monitors do not overlap: the strip is wholly on them when the parts
    // of it on each add up to all of it.
    const int64_t whole = static_cast<int64_t>(strip.right - strip.left) * (strip.bottom - strip.top);
    if (whole <= 0) return false;
    int64_t covered = 0;
    for (const PixelRect& a : workAreas) {
        const int w = std::min(strip.right, a.right) - std::max(strip.left, a.left);
        const int h = std::min(strip.bottom, a.bottom) - std::max(strip.top, a.top);
        if (w > 0 && h > 0) covered += static_cast<int64_t>(w) * h;
    }
    return covered >= whole;
}

PixelRect StartPlace(const PixelRect& stored, const PixelRect& design, const PixelRect& strip,
                     const PixelRect& primaryWorkArea, const std::vector<PixelRect>& workAreas) {
    const PixelRect onScreen = {stored.left + strip.left, stored.top + strip.top, stored.left + strip.right,
                                stored.top + strip.bottom};
    if (StripIsOnWorkAreas(onScreen, workAreas)) return stored;
    return MovedInside(design, primaryWorkArea);
}

bool FirstLineIsTall(bool longerThan39, int textWidthPx, int boxWidthPx) {
    return longerThan39 || textWidthPx > boxWidthPx;
}
