#include "app/design_window_win.h"

#include <algorithm>
#include <vector>

#include "app/hidden_owner_win.h"
#include "app/dpi_win.h"

namespace {
int liveWindows = 0;                 // the program ends when this falls to 0
std::vector<HWND> dialogKeyWindows;  // windows whose keys go through IsDialogMessage

// Out of window or GDI handles (another program leaking them), a desktop
// heap used up: the user is told, in place of a card that never appears.
void TellCreateFailed(const char* className, DWORD error) {
    char text[320];
    wsprintfA(text,
              "Cloudwick could not open its window (%s; Windows error %lu).\r\n\r\n"
              "Windows may be short of resources: close some programs and start Cloudwick again.",
              className, error);
    MessageBoxA(nullptr, text, "Cloudwick", MB_OK | MB_ICONERROR | MB_TOPMOST);
}
}  // namespace

DesignWindow::DesignWindow(const ControlSpec* rows, size_t count) : rows_(rows), rowCount_(count) {}

DesignWindow::~DesignWindow() = default;

bool DesignWindow::CreateFrame(HINSTANCE instance, const Frame& f) {
    instance_ = instance;
    dialogKeys_ = f.dialogKeys;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &DesignWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = f.background;
    wc.hIcon = f.bigIcon;
    wc.hIconSm = f.smallIcon;
    wc.lpszClassName = f.className;
    // A second dialog finds its class registered by the first.
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        TellCreateFailed(f.className, GetLastError());
        return false;
    }
    dpi_ = ScreenDpiY();
    fonts_.reset(new Fonts(dpi_));
    clientWidthTwips_ = f.width;
    clientHeightTwips_ = f.height;
    RECT rc = {0, 0, TwipsToPixels(f.width, dpi_), TwipsToPixels(f.height, dpi_)};
    AdjustWindowRectEx(&rc, f.style, FALSE, f.exStyle);
    const int left = TwipsToPixelsX(f.left) + rc.left, top = TwipsToPixelsY(f.top) + rc.top;
    // The window's object deletes itself with a window that fails to be made.
    HWND made = CreateWindowExA(f.exStyle, f.className, f.title, f.style, left, top, rc.right - rc.left,
                                rc.bottom - rc.top, HiddenOwner(), nullptr, instance, this);
    if (made) {
        // Made on a monitor of another scaling than the system's: laid out
        // for that one (no WM_DPICHANGED comes for a new window).
        const int dpi = WindowDpi(made);
        if (dpi != dpi_) ApplyDpi(dpi, nullptr);
        return true;
    }
    TellCreateFailed(f.className, GetLastError());
    return false;
}

bool DesignWindow::TranslateDialogKeys(MSG& msg) {
    if (dialogKeyWindows.empty() || !msg.hwnd) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (std::find(dialogKeyWindows.begin(), dialogKeyWindows.end(), root) == dialogKeyWindows.end()) return false;
    return IsDialogMessageA(root, &msg) != FALSE;
}

LRESULT CALLBACK DesignWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    DesignWindow* self;
    if (msg == WM_NCCREATE) {
        self = static_cast<DesignWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        ++liveWindows;
        if (self->dialogKeys_) dialogKeyWindows.push_back(hwnd);
    } else {
        self = reinterpret_cast<DesignWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        dialogKeyWindows.erase(std::remove(dialogKeyWindows.begin(), dialogKeyWindows.end(), hwnd),
                               dialogKeyWindows.end());
        delete self;
        if (--liveWindows <= 0) PostQuitMessage(0);
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    return self->OnMessage(msg, wp, lp);
}

LRESULT DesignWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        // A window without all its controls is not made: creating it fails.
        if (!fonts_ || !fonts_->design() || !fonts_->standard() ||
            !CreateDesignControls(rows_, rowCount_, hwnd_, *fonts_, dpi_, controls_))
            return -1;
        OnCreate();
        return 0;
    case WM_TIMER:
        OnTimer(wp);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case kMsgChildMouse:
        OnChildMouse(LOWORD(wp), HIWORD(wp), ButtonMask(static_cast<WPARAM>(lp)));
        return 0;
    case kMsgPaintChild:
        OnPaintChild(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (HBRUSH b = OnColourStatic(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)))
            return reinterpret_cast<LRESULT>(b);
        break;
    case WM_CLOSE:
        DestroyWindow(hwnd_);
        return 0;
    case WM_DPICHANGED:
        // Moved to a monitor of another scaling, or the scaling changed:
        // the new DPI is in wParam, where Windows puts the window in lParam.
        ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    }
    return OnOtherMessage(msg, wp, lp);
}

void DesignWindow::ApplyDpi(int dpi, const RECT* suggested) {
    if (dpi < 48 || dpi > 960) return;  // no scaling Windows offers (25 % to 1000 %)
    std::unique_ptr<Fonts> fonts(new Fonts(dpi));
    if (!fonts->design() || !fonts->standard()) return;  // out of GDI objects: stays as it is
    dpi_ = dpi;
    for (size_t i = 0; i < rowCount_; ++i)
        if (i < controls_.size()) LayOutDesignControl(controls_[i], rows_[i], *fonts, dpi_);
    fonts_.swap(fonts);  // the old fonts are deleted once no control uses them
    // The client area is the design's size at this DPI; Windows' rectangle
    // gives the place, and the frame around the client keeps its own size.
    if (suggested)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT window, client;
    GetWindowRect(hwnd_, &window);
    GetClientRect(hwnd_, &client);
    const int frameW = (window.right - window.left) - client.right;
    const int frameH = (window.bottom - window.top) - client.bottom;
    SetWindowPos(hwnd_, nullptr, window.left, window.top, TwipsToPixels(clientWidthTwips_, dpi_) + frameW,
                 TwipsToPixels(clientHeightTwips_, dpi_) + frameH, SWP_NOZORDER | SWP_NOACTIVATE);
    OnDpiChanged();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH DesignWindow::OnColourStatic(HWND control, HDC dc) { return ColourStatic(control, dc, brushes_); }

LRESULT DesignWindow::OnOtherMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd_, msg, wp, lp); }

HWND DesignWindow::Control(int id) const {
    for (size_t i = 0; i < controls_.size(); ++i)
        if (rows_[i].id == id) return controls_[i];
    return nullptr;
}

void DesignWindow::SetCaption(int id, const std::string& text) { SetText(Control(id), text); }

std::string DesignWindow::Caption(int id) const { return GetText(Control(id)); }
