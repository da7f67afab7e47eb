#include "app/dpi_win.h"

#include "app/layout_types.h"
#include "app/system_library_win.h"

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
typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR, int, UINT*, UINT*);
const int kMonitorEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

template <typename Fn>
Fn Lookup(const char* dll, const char* name) {
    HMODULE module = LoadSystemLibrary(dll);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
}  // namespace

int WindowDpi(HWND hwnd) {
    static const GetDpiForWindowFn forWindow = Lookup<GetDpiForWindowFn>("user32.dll", "GetDpiForWindow");
    if (forWindow && hwnd) {
        const UINT dpi = forWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    static const GetDpiForMonitorFn forMonitor = Lookup<GetDpiForMonitorFn>("shcore.dll", "GetDpiForMonitor");
    if (forMonitor && hwnd) {
        UINT x = 0, y = 0;
        if (forMonitor(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), kMonitorEffectiveDpi, &x, &y) == S_OK &&
            y > 0)
            return static_cast<int>(y);
    }
    return ScreenDpiY();
}
