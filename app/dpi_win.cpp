#include "app/dpi_win.h"

namespace {
int Dpi(int index) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}
}  // namespace

int ScreenDpiY() { return Dpi(LOGPIXELSY); }
int TwipsPerPixelX() { return 1440 / Dpi(LOGPIXELSX); }
int TwipsPerPixelY() { return 1440 / Dpi(LOGPIXELSY); }
