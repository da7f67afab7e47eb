#include "card/card_placement.h"

bool TouchesAnyWorkArea(const PixelRect& card, const std::vector<PixelRect>& workAreas) {
    for (const PixelRect& a : workAreas)
        if (card.left < a.right && a.left < card.right && card.top < a.bottom && a.top < card.bottom) return true;
    return false;
}

PixelRect StartPlace(const PixelRect& stored, const PixelRect& design, const PixelRect& primaryWorkArea,
                     const std::vector<PixelRect>& workAreas) {
    if (TouchesAnyWorkArea(stored, workAreas)) return stored;
    return MovedInside(design, primaryWorkArea);
}

bool FirstLineIsTall(bool longerThan39, int textWidthPx, int boxWidthPx) {
    return longerThan39 || textWidthPx > boxWidthPx;
}
