#pragma once
// Where the card may stand and how its first forecast line is laid out:
// decisions the card makes from measurements of the screen and its fonts.
#include <vector>

#include "app/layout_types.h"

// The title strip's place inside the card, in pixels at these DPIs: the
// part of the card the user drags it by.
PixelRect TitleStripInCard(int dpiX, int dpiY);

// True when the whole of `strip` (screen pixels) lies on the monitors'
// work areas, on one of them or across side-by-side ones. Only then can
// the user take hold of the card and drag it where it should be.
bool StripIsOnWorkAreas(const PixelRect& strip, const std::vector<PixelRect>& workAreas);

// Where the card starts: its stored place while its whole title strip
// (`strip`, relative to the card) is on the work areas; else the design
// place, moved into the primary work area where that is too small for it
// (a high-DPI screen puts the design place far to the right). A stored
// place leaving only a few pixels in sight (a left monitor unplugged, a
// resolution changed) would leave a card that cannot be dragged back.
PixelRect StartPlace(const PixelRect& stored, const PixelRect& design, const PixelRect& strip,
                     const PixelRect& primaryWorkArea, const std::vector<PixelRect>& workAreas);

// The first forecast line takes two rows when it is longer than 39
// characters (the parser's rule) or when it is wider than its box in the
// label's font, which would otherwise wrap its end out of sight.
bool FirstLineIsTall(bool longerThan39, int textWidthPx, int boxWidthPx);
