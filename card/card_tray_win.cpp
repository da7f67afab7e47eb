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
}  // namespace

bool CardTrayShell::AddIcon() {
    if (refusals_ < 0) {
        char count[16] = "";
        const DWORD n = GetEnvironmentVariableA("CLOUDWICK_TEST_TRAY_REFUSALS", count, sizeof(count));
        refusals_ = n > 0 && n < sizeof(count) ? atoi(count) : 0;
    }
    if (refusals_ > 0) {
        --refusals_;
        return false;
    }
    if (Shell_NotifyIconA(NIM_ADD, record_)) return true;
    // A busy shell may report a time-out for an add it then carries
    // out: an icon that takes a change of its tip is there.
    return Shell_NotifyIconA(NIM_MODIFY, record_) != FALSE;
}

void CardTrayShell::SetRetryClock(bool on) {
    if (on)
        SetTimer(hwnd_, kTrayRetryTimerId, kTrayRetryMs, &CardWindow::TrayRetryTick);
    else
        KillTimer(hwnd_, kTrayRetryTimerId);
}

// With a procedure of its own the clock's ticks never reach the card's
// window procedure; the window's record leads back to the card.
void CALLBACK CardWindow::TrayRetryTick(HWND hwnd, UINT, UINT_PTR, DWORD) {
    auto* card = static_cast<CardWindow*>(reinterpret_cast<DesignWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)));
    if (card) card->trayKeeper_.OnRetryTick();
}

void CardWindow::AddTrayIcon() {
    trayShell_.Attach(hwnd_, &trayIconData_);
    trayKeeper_.Add();
}

void CardWindow::RemoveTrayIcon() {
    trayKeeper_.Removed();
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
    trayKeeper_.OnTaskbarCreated();
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
