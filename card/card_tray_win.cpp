// The card's tray icon, its popup menu and the moves between shown and hidden.
#include <cstdlib>

#include "app/dpi_win.h"
#include "card/card_layout.h"
#include "card/card_window_win.h"
#include "card/tray_icon_keeper.h"
#include "card/tray_tip.h"
#include "options/options_dialog_win.h"

namespace {
const UINT kTrayCallback = WM_MOUSEMOVE;
const int kTrayLeftUp = 0x202;
const int kTrayRightDown = 0x204;
const UINT_PTR kTrayRetryTimerId = 3;

void CALLBACK TrayRetryTick(HWND, UINT, UINT_PTR, DWORD);

// The shell as the card's one tray icon sees it. The first adds can be
// made to fail by setting CLOUDWICK_TEST_TRAY_REFUSALS to a count: the
// end-to-end tests stage a taskbar that is not there yet at log-on.
class CardTrayShell : public TrayShell {
public:
    HWND hwnd = nullptr;
    NOTIFYICONDATAA* record = nullptr;

    bool AddIcon() override {
        if (refusals_ < 0) {
            char count[16] = "";
            const DWORD n = GetEnvironmentVariableA("CLOUDWICK_TEST_TRAY_REFUSALS", count, sizeof(count));
            refusals_ = n > 0 && n < sizeof(count) ? atoi(count) : 0;
        }
        if (refusals_ > 0) {
            --refusals_;
            return false;
        }
        if (Shell_NotifyIconA(NIM_ADD, record)) return true;
        // A busy shell may report a time-out for an add it then carries
        // out: an icon that takes a change of its tip is there.
        return Shell_NotifyIconA(NIM_MODIFY, record) != FALSE;
    }
    void SetRetryClock(bool on) override {
        if (on)
            SetTimer(hwnd, kTrayRetryTimerId, kTrayRetryMs, TrayRetryTick);
        else
            KillTimer(hwnd, kTrayRetryTimerId);
    }

private:
    int refusals_ = -1;  // not read yet
};

CardTrayShell trayShell;
TrayIconKeeper trayKeeper(trayShell);

// With a procedure of its own the clock's ticks never reach the card's
// window procedure.
void CALLBACK TrayRetryTick(HWND, UINT, UINT_PTR, DWORD) { trayKeeper.OnRetryTick(); }
}  // namespace

void CardWindow::AddTrayIcon() {
    trayShell.hwnd = hwnd_;
    trayShell.record = &trayIconData_;
    trayKeeper.Add();
}

void CardWindow::RemoveTrayIcon() {
    trayKeeper.Removed();
    Shell_NotifyIconA(NIM_DELETE, &trayIconData_);
}

void CardWindow::BuildTrayRecord() {
    // The shell's first-version record, as the ANSI call expects it.
    trayIconData_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    trayIconData_.hWnd = hwnd_;
    trayIconData_.uID = 1;
    trayIconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIconData_.uCallbackMessage = kTrayCallback;
    trayIconData_.hIcon = smallIcon_;
    std::string tip = TrayTipText(Caption(IDC_TXTTITLE), Caption(IDC_TXTTEMP), settings_.AppVersion);
    std::array<char, 64> field = TipField(tip);
    memcpy(trayIconData_.szTip, field.data(), field.size());
}

void CardWindow::show_in_tray() {
    settings_.MainVisible = -1;
    SetOpenEnabled(false);
    BuildTrayRecord();
    AddTrayIcon();
}

void CardWindow::minimize_to_tray() {
    settings_.MainVisible = 0;
    SetOpenEnabled(true);
    ShowWindow(hwnd_, SW_HIDE);
    BuildTrayRecord();
}

void CardWindow::Restore() {
    SetWindowPos(hwnd_, nullptr, TwipsToPixelsX(settings_.WindowLeft), TwipsToPixelsY(settings_.WindowTop),
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowShown();
}

void CardWindow::ShowShown() {
    // Its monitor may have gone while it was hidden (a laptop undocked).
    KeepOnWorkAreas();
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    settings_.MainVisible = -1;
    SetOpenEnabled(false);
    SaveChoices();
}

void CardWindow::SetOpenEnabled(bool enabled) {
    openEnabled_ = enabled;
    if (menu_) EnableMenuItem(menu_, IDM_OPEN, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void CardWindow::BuildMenu() {
    // Made on the first right-click: the first paint does not need it.
    menu_ = CreatePopupMenu();
    AppendMenuA(menu_, MF_STRING, IDM_OPEN, "Open");
    AppendMenuA(menu_, MF_STRING, IDM_REFRESH, "Refresh Now");
    AppendMenuA(menu_, MF_STRING, IDM_OPTIONS, "Options");
    AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu_, MF_STRING, IDM_EXIT, "Exit");
    SetOpenEnabled(openEnabled_);
}

void CardWindow::Form_MouseMove(int code) {
    if (code == kTrayLeftUp)
        Restore();
    else if (code == kTrayRightDown)
        ShowMenu();
}

void CardWindow::ShowMenu() {
    POINT at;
    GetCursorPos(&at);
    if (!menu_) BuildMenu();
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void CardWindow::Label3_Click() {
    RecordPosition();
    minimize_to_tray();
    SaveChoices();
}

void CardWindow::OnTaskbarCreated() {
    // A restarted shell has forgotten the icon; a hidden card must not be lost.
    trayKeeper.OnTaskbarCreated();
}

void CardWindow::OpenOptions() {
    settings_.VisibleBeforeOptions = settings_.MainVisible;
    RecordPosition();
    minimize_to_tray();
    HWND dialog = OptionsDialog::Open(instance_, settings_, this);
    if (dialog) SetTopMostWindow(dialog, -1);
}

void CardWindow::OptionsClosed() {
    if (settings_.VisibleBeforeOptions == -1) {
        ShowShown();
    } else {
        SetOpenEnabled(true);
    }
}
