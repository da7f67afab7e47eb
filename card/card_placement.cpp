#include "card/card_placement.h"

bool TouchesAnyWorkArea(const PixelRect& card, const std::vector<PixelRect>& workAreas) {
    for (const PixelRect& a : workAreas)
        if (card.left < a.right && a.left < card.right && card.top < a.bottom && a.top < card.bottom) return true;
    return false;
}

PixelRect StartPlace(const PixelRect& stored, const PixelRect& design, const PixelRect& primaryWorkArea,
                     const std::vector<PixelRect>& workAreas) {
    if (TouchesAnyWorkArea(stored, workAreas)) return stored;
    const int w = design.right - design.left, h = design.bottom - design.top;
    const PixelRect& a = primaryWorkArea;
    int left = design.left, top = design.top;
    if (left + w > a.right) left = a.right - w;
    if (top + h > a.bottom) top = a.bottom - h;
    if (left < a.left) left = a.left;
    if (top < a.top) top = a.top;
    return {left, top, left + w, top + h};
}

bool FirstLineIsTall(bool longerThan39, int textWidthPx, int boxWidthPx) {
    return longerThan39 || textWidthPx > boxWidthPx;
}
