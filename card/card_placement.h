#pragma once
// Where the card may stand and how its first forecast line is laid out:
// decisions the card makes from measurements of the screen and its fonts.
#include <vector>

#include "app/layout_types.h"

// True when any part of `card` lies on one of the monitors' work areas. A
// stored place that touches none (a monitor unplugged, a resolution changed)
// would leave the card out of sight for good.
bool TouchesAnyWorkArea(const PixelRect& card, const std::vector<PixelRect>& workAreas);

// Where the card starts: its stored place while it touches a work area;
// else the design place, moved into the primary work area where that is too
// small for it (a high-DPI screen puts the design place far to the right).
PixelRect StartPlace(const PixelRect& stored, const PixelRect& design, const PixelRect& primaryWorkArea,
                     const std::vector<PixelRect>& workAreas);

// The first forecast line takes two rows when it is longer than 39
// characters (the parser's rule) or when it is wider than its box in the
// label's font, which would otherwise wrap its end out of sight.
bool FirstLineIsTall(bool longerThan39, int textWidthPx, int boxWidthPx);
