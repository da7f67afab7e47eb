#include "app/layout_types.h"

#include <cmath>

int TwipsToPixels(int twips, int twipsPerPixel) {
    if (twipsPerPixel <= 0) twipsPerPixel = 15;
    return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}
