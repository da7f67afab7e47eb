#include "options/options_dialog_win.h"

#include <algorithm>

#include "app/app_win.h"
#include "app/registry_win.h"
#include "app/top_window_win.h"
#include "card/card_window_win.h"
#include "card/weather_pictures_win.h"
#include "options/options_choices.h"
#include "options/options_layout.h"

const char* const kOptionsClassName = "CloudwickOptions";

namespace {
const UINT_PTR kTimer1Id = 1;
const UINT kTimer1Ms = 100;
const char kAdminNeeded[] =
    "Cloudwick could not register itself to start with Windows.\r\n\r\n"
    "Starting with Windows needs administrator rights: run Cloudwick once as an administrator "
    "and choose the option again.";
}

HWND OptionsDialog::Open(HINSTANCE instance, AppSettings& settings) {
    OptionsDialog* dialog = new OptionsDialog(instance, settings);
    if (!dialog->Create()) {
        delete dialog;
        return nullptr;
    }
    return dialog->hwnd_;
}

OptionsDialog::OptionsDialog(HINSTANCE instance, AppSettings& settings)
    : instance_(instance), settings_(settings) {}

OptionsDialog::~OptionsDialog() {
    if (mapBrush_) DeleteObject(mapBrush_);
    if (background_) DeleteObject(background_);
}

bool OptionsDialog::Create() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &TopWindowProc<OptionsDialog>;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kOptionsClassName;
    RegisterClassExA(&wc);
    const int tx = TwipsPerPixelX(), ty = TwipsPerPixelY();
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
    RECT rc = {0, 0, TwipsToPixels(kOptionsWidthTwips, tx), TwipsToPixels(kOptionsHeightTwips, ty)};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    const int clientLeft = TwipsToPixels(kOptionsDesignLeft, tx), clientTop = TwipsToPixels(kOptionsDesignTop, ty);
    hwnd_ = CreateWindowExA(exStyle, kOptionsClassName, "Options", style, clientLeft + rc.left, clientTop + rc.top,
                            rc.right - rc.left, rc.bottom - rc.top, HiddenOwner(), nullptr, instance_, this);
    if (!hwnd_) return false;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    return true;
}

LRESULT OptionsDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wp));
        return 1;
    case WM_TIMER:
        if (wp == kTimer1Id && timer1_->Enabled()) search_->OnTick();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        if (reinterpret_cast<HWND>(lp) == Control(IDC_LBLABOUT) && mapBrush_)
            return reinterpret_cast<LRESULT>(MapBehind(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)));
        HBRUSH b = ColourStatic(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp), brushes_);
        if (b) return reinterpret_cast<LRESULT>(b);
        break;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        Form_Unload();
        return 0;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

void OptionsDialog::OnCreate() {
    WindowOpened();
    TheApp().dialogs.push_back(hwnd_);
    background_ = LoadOptionsBackground(instance_);
    if (background_) mapBrush_ = CreatePatternBrush(background_);
    controls_ = CreateDesignControls(kOptionsControls, kOptionsControlCount, hwnd_, fonts_);
    ArrangeTabOrder();
    HWND box = Control(IDC_TXTWORD);
    SetWindowLongPtrA(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    searchBoxProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OptionsDialog::SearchBoxProc)));
    timer1_.reset(new WindowTimer(hwnd_, kTimer1Id, kTimer1Ms));
    sockWID_.reset(new AsyncSocket(*this));
    search_.reset(new PlaceSearch(*sockWID_, *timer1_, *this, CLOUDWICK_PLACE_SEARCH_HOST));
    Form_Load();
}

void OptionsDialog::ArrangeTabOrder() {
    // Tab order follows the stacking order: focusable controls in the order
    // of their tab indexes, each panel holding its own.
    const int order[] = {IDC_OPT_FRAME1, IDC_OPT_LABEL1, IDC_TXTWORD, IDC_COMMAND1, IDC_OPT_LABEL3,
                         IDC_TXTLOCATION, IDC_FRAME2, IDC_OPTF, IDC_OPTC, IDC_COMMAND2, IDC_CMDOK,
                         IDC_FRAME3, IDC_CHKONSTART, IDC_CHKONTRAY, IDC_OPT_LABEL5, IDC_CBOREFRESH, IDC_LBLABOUT};
    for (int id : order) {
        HWND w = Control(id);
        SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const ControlSpec* row = RowOf(w);
        if (row && row->tabIndex >= 0 && id != IDC_OPTC)
            SetWindowLongA(w, GWL_STYLE, GetWindowLongA(w, GWL_STYLE) | WS_GROUP | WS_TABSTOP);
    }
}

LRESULT CALLBACK OptionsDialog::SearchBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<OptionsDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    LRESULT result = CallWindowProcA(self->searchBoxProc_, hwnd, msg, wp, lp);
    if (msg == WM_GETDLGCODE && lp) {
        // Enter belongs to the search box, not to a default button.
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if (m->message == WM_KEYDOWN && m->wParam == VK_RETURN) result |= DLGC_WANTMESSAGE;
    }
    if (msg == WM_CHAR) self->search_->OnKeyPress(static_cast<int>(wp));
    return result;
}

void OptionsDialog::Form_Load() {
    SetText(Control(IDC_LBLABOUT), AboutText(settings_.AppVersion));
    FillOptions();
}

void OptionsDialog::FillOptions() {
    search_->SetFound(settings_.LocationWoeid, settings_.LocationName);
    OptionsChoices c = ::FillOptions(settings_);
    SendMessageA(Control(IDC_CHKONSTART), BM_SETCHECK, c.startOnWindows ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(Control(IDC_CHKONTRAY), BM_SETCHECK, c.startInTray ? BST_CHECKED : BST_UNCHECKED, 0);
    HWND list = Control(IDC_CBOREFRESH);
    for (const char* entry : kRefreshEntries) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(c.refreshEntry), 0);
    SetText(Control(IDC_TXTLOCATION), c.locationText);
    SendMessageA(Control(IDC_OPTC), BM_SETCHECK, c.celsius ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(Control(IDC_OPTF), BM_SETCHECK, c.celsius ? BST_UNCHECKED : BST_CHECKED, 0);
    EnableWindow(Control(IDC_CMDOK), c.okEnabled);
}

void OptionsDialog::ApplyOptions() {
    const std::string exePath = ExeFolder() + "\\Cloudwick.exe";
    OptionsChoices c;
    c.startOnWindows = static_cast<int>(SendMessageA(Control(IDC_CHKONSTART), BM_GETCHECK, 0, 0)) == BST_CHECKED;
    if (c.startOnWindows) {
        if (SetRegistryValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kRunValueName, exePath) == 0) {
            c.startOnWindows = 0;
            MessageBoxA(hwnd_, kAdminNeeded, "Cloudwick", MB_OK | MB_ICONWARNING | MB_TOPMOST);
        }
    } else {
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKeyPath, kRunValueName);
    }
    c.startInTray = static_cast<int>(SendMessageA(Control(IDC_CHKONTRAY), BM_GETCHECK, 0, 0)) == BST_CHECKED;
    c.refreshEntry = static_cast<int>(SendMessageA(Control(IDC_CBOREFRESH), CB_GETCURSEL, 0, 0));
    c.celsius = SendMessageA(Control(IDC_OPTC), BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::ApplyOptions(c, search_->foundWoeid(), search_->foundName(), settings_);
}

void OptionsDialog::cmdOK_Click() {
    ApplyOptions();
    if (TheApp().card)
        TheApp().card->RefreshOptions();
    else
        SaveSettingsOrTell(hwnd_);  // the card has exited: nothing chosen may be lost
    DestroyWindow(hwnd_);
}

void OptionsDialog::Form_Unload() {
    search_->Close();
    auto& dialogs = TheApp().dialogs;
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), hwnd_), dialogs.end());
    CardWindow* card = TheApp().card;
    if (settings_.VisibleBeforeOptions == -1) {
        settings_.MainVisible = -1;
        if (card) {
            card->SetOpenEnabled(false);
            card->ShowCard();
        }
    } else if (card) {
        card->SetOpenEnabled(true);
    }
}

void OptionsDialog::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_CMDOK: cmdOK_Click(); break;
    case IDC_COMMAND2: DestroyWindow(hwnd_); break;
    case IDC_COMMAND1: search_->StartPlaceSearch(); break;
    }
}

HBRUSH OptionsDialog::MapBehind(HWND control, HDC dc) {
    // The label paints the part of the map it covers, so its text stands on
    // the map rather than on a box of its own.
    POINT origin = {0, 0};
    MapWindowPoints(control, hwnd_, &origin, 1);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    SetTextColor(dc, ToColorRef(RowOf(control)->fg));
    SetBkMode(dc, TRANSPARENT);
    return mapBrush_;
}

void OptionsDialog::PaintBackground(HDC dc) {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawBitmap(dc, background_);
}

HWND OptionsDialog::Control(int id) const { return ControlById(controls_, id); }

std::string OptionsDialog::SearchText() const { return GetText(Control(IDC_TXTWORD)); }
void OptionsDialog::SetStatus(const std::string& text) { SetText(Control(IDC_TXTLOCATION), text); }
void OptionsDialog::SetOkEnabled(bool on) { EnableWindow(Control(IDC_CMDOK), on); }
bool OptionsDialog::OkEnabled() const { return IsWindowEnabled(Control(IDC_CMDOK)) != FALSE; }
void OptionsDialog::FocusOk() { SetFocus(Control(IDC_CMDOK)); }
void OptionsDialog::FocusSearchText() { SetFocus(Control(IDC_TXTWORD)); }

void OptionsDialog::OnSocketConnect() { search_->OnConnect(); }
void OptionsDialog::OnSocketData(long bytesTotal) { search_->OnDataArrival(bytesTotal); }
void OptionsDialog::OnSocketError() { search_->OnError(); }
