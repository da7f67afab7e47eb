#include "app/dpi_win.h"

#include "app/layout_types.h"

namespace {
int Dpi(int index) {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}
}  // namespace

int ScreenDpiX() { return Dpi(LOGPIXELSX); }
int ScreenDpiY() { return Dpi(LOGPIXELSY); }
int TwipsToPixelsX(int twips) { return TwipsToPixels(twips, ScreenDpiX()); }
int TwipsToPixelsY(int twips) { return TwipsToPixels(twips, ScreenDpiY()); }
int PixelsToTwipsX(int pixels) { return PixelsToTwips(pixels, ScreenDpiX()); }
int PixelsToTwipsY(int pixels) { return PixelsToTwips(pixels, ScreenDpiY()); }

namespace {
typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
}  // namespace

int WindowDpi(HWND hwnd) {
    // user32 is loaded already; the call exists from Windows 10 1607 on.
    static const GetDpiForWindowFn forWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const UINT dpi = forWindow && hwnd ? forWindow(hwnd) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : ScreenDpiY();
}
