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
    RECT rc = {0, 0, TwipsToPixelsX(f.width), TwipsToPixelsY(f.height)};
    AdjustWindowRectEx(&rc, f.style, FALSE, f.exStyle);
    const int left = TwipsToPixelsX(f.left) + rc.left, top = TwipsToPixelsY(f.top) + rc.top;
    if (CreateWindowExA(f.exStyle, f.className, f.title, f.style, left, top, rc.right - rc.left, rc.bottom - rc.top,
                        HiddenOwner(), nullptr, instance, this))
        return true;
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
        if (!fonts_.design() || !fonts_.standard() || !CreateDesignControls(rows_, rowCount_, hwnd_, fonts_, controls_))
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
    case WM_DESTROY:
        OnDestroy();
        return 0;
    }
    return OnOtherMessage(msg, wp, lp);
}

HBRUSH DesignWindow::OnColourStatic(HWND control, HDC dc) { return ColourStatic(control, dc, brushes_); }

LRESULT DesignWindow::OnOtherMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd_, msg, wp, lp); }

HWND DesignWindow::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void DesignWindow::SetCaption(int id, const std::string& text) { SetText(Control(id), text); }

std::string DesignWindow::Caption(int id) const { return GetText(Control(id)); }
