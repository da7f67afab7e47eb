#include "options/options_dialog_win.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "app/app_win.h"
#include "app/host_policy_win.h"
#include "app/registry_win.h"
#include "options/options_background_win.h"
#include "options/options_choices.h"
#include "options/options_layout.h"

const char* const kOptionsClassName = "CloudwickOptions";

namespace {
const UINT_PTR kTimer1Id = 1;
const UINT_PTR kSearchBoxSubclass = 1;
const UINT kTimer1Ms = 100;
std::vector<OptionsDialog*> openDialogs;  // for ForgetOwner

// Controls of one panel in the order of their tab indexes.
std::vector<const ControlSpec*> PanelInTabOrder(int parentId) {
    std::vector<const ControlSpec*> rows;
    for (size_t i = 0; i < kOptionsControlCount; ++i)
        if (kOptionsControls[i].parentId == parentId) rows.push_back(&kOptionsControls[i]);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
    return rows;
}

bool TakesFocus(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::Button || kind == ControlKind::CheckBox ||
           kind == ControlKind::OptionButton || kind == ControlKind::DropList;
}

// At a high scaling on a small screen the design place puts the dialog
// partly below or right of the screen: it is moved into the work area of
// the monitor it is mostly on.
void KeepOnItsMonitor(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    RECT a;  // a work area is never larger than its monitor
    if (!GetMonitorInfoA(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !IntersectRect(&a, &monitor.rcWork, &monitor.rcMonitor))
        return;
    const PixelRect place = MovedInside({r.left, r.top, r.right, r.bottom}, {a.left, a.top, a.right, a.bottom});
    if (place.left != r.left || place.top != r.top)
        SetWindowPos(hwnd, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

HWND OptionsDialog::Open(HINSTANCE instance, AppSettings& settings, OptionsOwner* owner) {
    OptionsDialog* dialog = new OptionsDialog(settings, owner);
    Frame frame = {};
    frame.className = kOptionsClassName;
    frame.title = "Options";
    frame.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    frame.exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
    frame.left = kOptionsDesignLeft;
    frame.top = kOptionsDesignTop;
    frame.width = kOptionsWidthTwips;
    frame.height = kOptionsHeightTwips;
    frame.dialogKeys = true;
    if (!dialog->CreateFrame(instance, frame)) {
        // A window that came and went has deleted its object already.
        if (std::find(openDialogs.begin(), openDialogs.end(), dialog) != openDialogs.end()) delete dialog;
        return nullptr;
    }
    HWND hwnd = dialog->hwnd_;
    KeepOnItsMonitor(hwnd);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    // Typing goes straight into the search box (activation put it there
    // unless the window could not become active).
    if (GetFocus() != dialog->Control(IDC_TXTWORD)) SetFocus(dialog->Control(IDC_TXTWORD));
    return hwnd;
}

void OptionsDialog::ForgetOwner(OptionsOwner* owner) {
    for (OptionsDialog* d : openDialogs)
        if (d->owner_ == owner) {
            d->owner_ = nullptr;
            if (d->search_) d->search_->SetServiceLink(nullptr);  // the card's service link goes with it
        }
}

OptionsDialog::OptionsDialog(AppSettings& settings, OptionsOwner* owner)
    : DesignWindow(kOptionsControls, kOptionsControlCount), settings_(settings), owner_(owner) {
    openDialogs.push_back(this);
}

OptionsDialog::~OptionsDialog() {
    openDialogs.erase(std::remove(openDialogs.begin(), openDialogs.end(), this), openDialogs.end());
    if (mapBrush_) DeleteObject(mapBrush_);
    if (background_) DeleteObject(background_);
    if (mapDrawn_) DeleteObject(mapDrawn_);
}

LRESULT OptionsDialog::OnOtherMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wp));
        return 1;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wp) != WA_INACTIVE);
        return 0;
    case WM_DISPLAYCHANGE:
        // A monitor removed while the dialog is open: back into sight.
        KeepOnItsMonitor(hwnd_);
        return DesignWindow::OnOtherMessage(msg, wp, lp);
    case DM_GETDEFID:
        // The dialog keys ask which button Enter presses.
        return MAKELRESULT(DefaultButton(), DC_HASDEFID);
    }
    return DesignWindow::OnOtherMessage(msg, wp, lp);
}

void OptionsDialog::OnActivate(bool active) {
    // As a dialog does: the control that had the focus gets it back, so the
    // window itself never holds it and the keys always reach a control.
    HWND focus = GetFocus();
    if (!active) {
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        return;
    }
    HWND target = lastFocus_ && IsWindowEnabled(lastFocus_) ? lastFocus_ : Control(IDC_TXTWORD);
    if (focus != target) SetFocus(target);
}

int OptionsDialog::DefaultButton() const {
    // Enter presses the focused button; elsewhere "Okay" (when enabled), as
    // in any dialog. In the search box Enter starts the search, which the box
    // sees for itself.
    HWND focus = GetFocus();
    for (int id : {int(IDC_CMDOK), int(IDC_COMMAND2), int(IDC_COMMAND1)})
        if (focus == Control(id)) return id;
    if (focus == Control(IDC_TXTWORD)) return IDC_COMMAND1;
    return IDC_CMDOK;
}

void OptionsDialog::ShowAsDefault(int buttonId) {
    // The thick border tells which button Enter presses.
    for (int id : {int(IDC_CMDOK), int(IDC_COMMAND2), int(IDC_COMMAND1)})
        SendMessageA(Control(id), BM_SETSTYLE, id == buttonId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void OptionsDialog::OnTimer(UINT_PTR id) {
    if (id == kTimer1Id && timer1_->Enabled()) search_->OnTick();
}

HBRUSH OptionsDialog::OnColourStatic(HWND control, HDC dc) {
    if (control != Control(IDC_LBLABOUT) || !mapBrush_) return DesignWindow::OnColourStatic(control, dc);
    // The label paints the part of the map it covers, so its text stands on
    // the map rather than on a box of its own.
    POINT origin = {0, 0};
    MapWindowPoints(control, hwnd_, &origin, 1);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    SetTextColor(dc, ToColorRef(RowOf(control)->fg));
    SetBkMode(dc, TRANSPARENT);
    return mapBrush_;
}

void OptionsDialog::OnCreate() {
    background_ = LoadOptionsBackground(instance_);
    // The about text stands on the part of the map it covers, at the map's
    // drawn scale: the brush is made from the map as the window draws it.
    MakeMapBrush();
    ArrangeTabOrder();
    HWND box = Control(IDC_TXTWORD);
    SetWindowSubclass(box, &OptionsDialog::SearchBoxProc, kSearchBoxSubclass, reinterpret_cast<DWORD_PTR>(this));
    lastFocus_ = box;
    ShowAsDefault(IDC_COMMAND1);  // Enter in the search box finds
    timer1_.reset(new WindowTimer(hwnd_, kTimer1Id, kTimer1Ms));
    sockWID_.reset(new AsyncSocket());
    const HostChoice& host = ConfiguredHosts().placeSearch;
    search_.reset(new PlaceSearch(*sockWID_, *timer1_, *this, host.name));
    search_->SetHostWords(host.problem, host.notFound);
    if (owner_) search_->SetServiceLink(owner_->FeedServiceLink());
    Form_Load();
}

void OptionsDialog::MakeMapBrush() {
    if (mapBrush_) DeleteObject(mapBrush_);
    if (mapDrawn_) DeleteObject(mapDrawn_);
    mapBrush_ = nullptr;
    mapDrawn_ = ScaledForScreen(background_, dpi_);
    if (mapDrawn_) mapBrush_ = CreatePatternBrush(mapDrawn_);
}

void OptionsDialog::OnDpiChanged() {
    MakeMapBrush();  // the map at its new drawn scale
    InvalidateRect(hwnd_, nullptr, TRUE);
    for (size_t i = 0; i < kOptionsControlCount; ++i) InvalidateRect(Control(kOptionsControls[i].id), nullptr, TRUE);
}

void OptionsDialog::ArrangeTabOrder() {
    // Tab moves through a window's children in their stacking order, and into
    // a panel's children where it comes: stack each panel's controls in the
    // order of their tab indexes. An option pair is one stop.
    for (int panel : {0, int(IDC_OPT_FRAME1), int(IDC_FRAME2), int(IDC_FRAME3)}) {
        bool inOptionGroup = false;
        for (const ControlSpec* row : PanelInTabOrder(panel)) {
            HWND w = Control(row->id);
            SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            const bool option = row->kind == ControlKind::OptionButton;
            if (TakesFocus(row->kind) && !(option && inOptionGroup))
                SetWindowLongA(w, GWL_STYLE, GetWindowLongA(w, GWL_STYLE) | WS_GROUP | WS_TABSTOP);
            inOptionGroup = option;
        }
    }
}

LRESULT CALLBACK OptionsDialog::SearchBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<OptionsDialog*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &OptionsDialog::SearchBoxProc, kSearchBoxSubclass);
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
    LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
    if (msg == WM_GETDLGCODE && lp) {
        // Enter belongs to the search box, not to a default button.
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if (m->message == WM_KEYDOWN && m->wParam == VK_RETURN) result |= DLGC_WANTMESSAGE;
    }
    if (msg == WM_CHAR) self->search_->OnKeyPress(static_cast<int>(wp));
    return result;
}

void OptionsDialog::Form_Load() {
    SetCaption(IDC_LBLABOUT, AboutText(settings_.AppVersion));
    FillOptions();
}

void OptionsDialog::FillOptions() {
    search_->SetFound(settings_.LocationWoeid, settings_.LocationName);
    OptionsChoices c = ::FillOptions(settings_);
    // Ticked too when a Run value already starts this exe (the installer's
    // STARTWITHWINDOWS=1), so that "Okay" keeps it.
    Win32RunRegistry registry;
    const std::string run = RunCommand(ExePath());
    const bool starts = c.startOnWindows || registry.Holds(RunRoot::Machine, run) || registry.Holds(RunRoot::User, run);
    SendMessageA(Control(IDC_CHKONSTART), BM_SETCHECK, starts ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(Control(IDC_CHKONTRAY), BM_SETCHECK, c.startInTray ? BST_CHECKED : BST_UNCHECKED, 0);
    HWND list = Control(IDC_CBOREFRESH);
    for (const char* entry : kRefreshEntries) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(c.refreshEntry), 0);
    SetCaption(IDC_TXTLOCATION, c.locationText);
    SendMessageA(Control(IDC_OPTC), BM_SETCHECK, c.celsius ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(Control(IDC_OPTF), BM_SETCHECK, c.celsius ? BST_UNCHECKED : BST_CHECKED, 0);
    EnableWindow(Control(IDC_CMDOK), c.okEnabled);
}

void OptionsDialog::ApplyOptions() {
    // The running exe's own path: a download renamed by the browser
    // ("Cloudwick (1).exe") must start under its real name.
    const std::string exePath = ExePath();
    OptionsChoices c;
    const bool startTicked = SendMessageA(Control(IDC_CHKONSTART), BM_GETCHECK, 0, 0) == BST_CHECKED;
    Win32RunRegistry registry;
    RunValueResult run;
    const std::string problem = RunPathProblem(exePath);
    if (startTicked && !problem.empty()) {
        run.message = problem;  // nothing written: a value naming no file would start nothing
    } else {
        run = SetStartOnWindows(registry, startTicked, RunCommand(exePath));
    }
    c.startOnWindows = run.starts ? 1 : 0;
    if (!run.message.empty()) TellUser(hwnd_, run.message);
    c.startInTray = static_cast<int>(SendMessageA(Control(IDC_CHKONTRAY), BM_GETCHECK, 0, 0)) == BST_CHECKED;
    c.refreshEntry = static_cast<int>(SendMessageA(Control(IDC_CBOREFRESH), CB_GETCURSEL, 0, 0));
    c.celsius = SendMessageA(Control(IDC_OPTC), BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::ApplyOptions(c, search_->foundWoeid(), search_->foundName(), settings_);
}

void OptionsDialog::cmdOK_Click() {
    ApplyOptions();
    if (owner_)
        owner_->RefreshOptions();
    else
        SaveSettingsOrTell(hwnd_, settings_);  // the card has exited: nothing chosen may be lost
    DestroyWindow(hwnd_);
}

void OptionsDialog::OnDestroy() { Form_Unload(); }

void OptionsDialog::Form_Unload() {
    search_->Close();
    if (owner_) owner_->OptionsClosed();
}

void OptionsDialog::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_CMDOK: cmdOK_Click(); break;
    case IDC_COMMAND2:
    case IDCANCEL:  // Esc
        DestroyWindow(hwnd_);
        break;
    case IDC_COMMAND1: search_->StartPlaceSearch(); break;
    }
}

void OptionsDialog::PaintBackground(HDC dc) {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawBitmap(dc, background_, dpi_);
}

std::string OptionsDialog::SearchText() const { return Caption(IDC_TXTWORD); }
void OptionsDialog::SetStatus(const std::string& text) { SetCaption(IDC_TXTLOCATION, text); }
void OptionsDialog::SetOkEnabled(bool on) { EnableWindow(Control(IDC_CMDOK), on); }
bool OptionsDialog::OkEnabled() const { return IsWindowEnabled(Control(IDC_CMDOK)) != FALSE; }
void OptionsDialog::FocusOk() {
    SetFocus(Control(IDC_CMDOK));
    ShowAsDefault(IDC_CMDOK);
}

void OptionsDialog::FocusSearchText() {
    SetFocus(Control(IDC_TXTWORD));
    ShowAsDefault(IDC_COMMAND1);
}
