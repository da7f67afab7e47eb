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

namespace {
// How far apart two rectangles are (0 when they touch or overlap), squared.
int64_t GapSquared(const PixelRect& a, const PixelRect& b) {
    const int64_t dx = std::max({0, b.left - a.right, a.left - b.right});
    const int64_t dy = std::max({0, b.top - a.bottom, a.top - b.bottom});
    return dx * dx + dy * dy;
}

int64_t Overlap(const PixelRect& a, const PixelRect& b) {
    const int w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? static_cast<int64_t>(w) * h : 0;
}
}  // namespace

PixelRect KeptOnWorkAreas(const PixelRect& card, const PixelRect& strip, const std::vector<PixelRect>& workAreas) {
    const PixelRect onScreen = {card.left + strip.left, card.top + strip.top, card.left + strip.right,
                                card.top + strip.bottom};
    if (workAreas.empty() || StripIsOnWorkAreas(onScreen, workAreas)) return card;
    const PixelRect* nearest = &workAreas[0];
    for (const PixelRect& a : workAreas) {
        const int64_t overlap = Overlap(card, a), best = Overlap(card, *nearest);
        if (overlap > best || (overlap == best && best == 0 && GapSquared(card, a) < GapSquared(card, *nearest)))
            nearest = &a;
    }
    return MovedInside(card, *nearest);
}

bool FirstLineIsTall(bool longerThan39, int textWidthPx, int boxWidthPx) {
    return longerThan39 || textWidthPx > boxWidthPx;
}
