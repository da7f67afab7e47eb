#include "card/card_window_win.h"

#include <windowsx.h>

#include <vector>

#include "app/app_win.h"
#include "app/dpi_win.h"
#include "app/host_policy_win.h"
#include "card/card_layout.h"
#include "card/card_placement.h"
#include "card/local_feed_service.h"
#include "card/tray_tip.h"
#include "options/options_dialog_win.h"
#include "resources/version.h"

const char* const kCardClassName = "CloudwickCard";

namespace {
const UINT_PTR kIntervalTimerId = 1;
const UINT_PTR kDataTimerId = 2;
const UINT kIntervalMs = 60000;
const UINT kDataMs = 100;

// The label of each parsed field, in the order of CardField.
constexpr int kFieldLabels[] = {IDC_TXTTITLE, IDC_TXTDATETIME, IDC_TXTWTEMP, IDC_TXTWSPEED,
                                IDC_TXTCOND, IDC_TXTTEMP, IDC_TXTDAY1, IDC_TXTDAY2};
static_assert(sizeof(kFieldLabels) / sizeof(kFieldLabels[0]) == static_cast<size_t>(CardField::Day2) + 1,
              "one label per field");
static_assert(kFieldLabels[static_cast<int>(CardField::Title)] == IDC_TXTTITLE &&
                  kFieldLabels[static_cast<int>(CardField::DateTime)] == IDC_TXTDATETIME &&
                  kFieldLabels[static_cast<int>(CardField::WTemp)] == IDC_TXTWTEMP &&
                  kFieldLabels[static_cast<int>(CardField::WSpeed)] == IDC_TXTWSPEED &&
                  kFieldLabels[static_cast<int>(CardField::Cond)] == IDC_TXTCOND &&
                  kFieldLabels[static_cast<int>(CardField::Temp)] == IDC_TXTTEMP &&
                  kFieldLabels[static_cast<int>(CardField::Day1)] == IDC_TXTDAY1 &&
                  kFieldLabels[static_cast<int>(CardField::Day2)] == IDC_TXTDAY2,
              "labels follow the field order");

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    RECT w;
    // A work area is never larger than its monitor (Wine keeps the old
    // one for a moment after the desktop shrinks).
    if (GetMonitorInfoA(monitor, &info) && IntersectRect(&w, &info.rcWork, &info.rcMonitor)) {
        reinterpret_cast<std::vector<PixelRect>*>(data)->push_back({w.left, w.top, w.right, w.bottom});
    }
    return TRUE;
}

std::vector<PixelRect> WorkAreas() {
    std::vector<PixelRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}
}  // namespace

CardWindow::CardWindow(AppSettings& settings)
    : DesignWindow(kCardControls, kCardControlCount), settings_(settings),
      day1HeightTwips_(FindCardControl(IDC_TXTDAY1)->height), day2TopTwips_(FindCardControl(IDC_TXTDAY2)->top),
      day2BaseTwips_(FindCardControl(IDC_TXTDAY2)->top) {}

CardWindow::~CardWindow() {
    if (menu_) DestroyMenu(menu_);
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
    if (optionsPicture_) DeleteObject(optionsPicture_);
}

bool CardWindow::Create(HINSTANCE instance) {
    // The window icon is the 108-pixel moon; the tray gets the small image of the same drawing.
    bigIcon_ = LoadAppIcon(instance, 108);
    smallIcon_ = LoadAppIcon(instance, GetSystemMetrics(SM_CXSMICON));
    Frame frame = {};
    frame.className = kCardClassName;
    frame.title = "";
    // A tool window has no taskbar button; the popup style has no border.
    frame.style = WS_POPUP | WS_CLIPCHILDREN;
    frame.exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    frame.left = kCardDesignLeft;
    frame.top = kCardDesignTop;
    frame.width = kCardWidthTwips;
    frame.height = kCardHeightTwips;
    frame.background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    frame.bigIcon = bigIcon_;
    frame.smallIcon = smallIcon_;
    return CreateFrame(instance, frame);
}

LRESULT CardWindow::OnOtherMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (taskbarCreated_ != 0 && msg == taskbarCreated_) {
        OnTaskbarCreated();
        return 0;
    }
    switch (msg) {
    case WM_MOUSEMOVE:
        // Also the tray icon's callback, with the shell's mouse code in x.
        // Over a card wider than 514 pixels (225 % scaling and up) a real
        // movement can carry that x too: only a callback is handled.
        if (IsTrayCallback(lp)) Form_MouseMove(GET_X_LPARAM(lp));
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_POWERBROADCAST:
        // Back from sleep (with or without a user): the weather is old.
        if (wp == PBT_APMRESUMEAUTOMATIC || wp == PBT_APMRESUMESUSPEND) cycle_->OnResume();
        return TRUE;
    case LocalFeedService::kMsgServiceReady:
        service_->EndWaits();
        supervisor_->OnReadySignal();
        return 0;
    case LocalFeedService::kMsgServiceExited: {
        unsigned long code = 0;
        if (service_->TakeExitCode(code)) supervisor_->OnServiceExited(code);
        return 0;
    }
    case WM_ENDSESSION:
        // Log-off or shut-down: the process may end without WM_DESTROY,
        // and no window may wait for the user (a failed save is told at
        // the next start).
        if (wp) Form_Unload(true);
        return 0;
    case WM_DISPLAYCHANGE:
        // A monitor unplugged or a resolution changed: a card left where
        // it cannot be taken hold of comes onto the nearest work area.
        KeepOnWorkAreas();
        return DesignWindow::OnOtherMessage(msg, wp, lp);
    }
    return DesignWindow::OnOtherMessage(msg, wp, lp);
}

bool CardWindow::IsTrayCallback(LPARAM lp) const {
    // A real movement happens over the shown card: the cursor's place when
    // the message was sent, in client coordinates, is the point it carries.
    if (!IsWindowVisible(hwnd_)) return true;
    const DWORD at = GetMessagePos();
    POINT p = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    ScreenToClient(hwnd_, &p);
    return p.x != GET_X_LPARAM(lp) || p.y != GET_Y_LPARAM(lp);
}

void CardWindow::BringStoredPlaceOnScreen() {
    RECT size;
    GetWindowRect(hwnd_, &size);
    const int w = size.right - size.left, h = size.bottom - size.top;
    const int left = TwipsToPixelsX(settings_.WindowLeft), top = TwipsToPixelsY(settings_.WindowTop);
    const int designLeft = TwipsToPixelsX(kCardDesignLeft), designTop = TwipsToPixelsY(kCardDesignTop);
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);  // the primary monitor's
    const PixelRect place = StartPlace({left, top, left + w, top + h}, {designLeft, designTop, designLeft + w, designTop + h},
                                       TitleStripInCard(dpi_, dpi_),
                                       {work.left, work.top, work.right, work.bottom}, WorkAreas());
    if (place.left == left && place.top == top) return;
    settings_.WindowLeft = PixelsToTwipsX(place.left);
    settings_.WindowTop = PixelsToTwipsY(place.top);
}

void CardWindow::KeepOnWorkAreas() {
    RECT r;
    GetWindowRect(hwnd_, &r);
    const PixelRect strip = TitleStripInCard(dpi_, dpi_);
    if (StripIsOnWorkAreas({r.left + strip.left, r.top + strip.top, r.left + strip.right, r.top + strip.bottom},
                           WorkAreas()))
        return;
    // Into the work area of the monitor nearest to it, moved the least.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    RECT a;
    if (!GetMonitorInfoA(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !IntersectRect(&a, &monitor.rcWork, &monitor.rcMonitor))
        return;
    const PixelRect place = MovedInside({r.left, r.top, r.right, r.bottom}, {a.left, a.top, a.right, a.bottom});
    SetWindowPos(hwnd_, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    settings_.WindowLeft = PixelsToTwipsX(place.left);
    settings_.WindowTop = PixelsToTwipsY(place.top);
}

int CardWindow::TextWidth(int id, const std::string& text) const {
    HWND label = Control(id);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return extent.cx;
}

int CardWindow::BoxWidth(int id) const {
    RECT rc;
    GetClientRect(Control(id), &rc);
    return rc.right;
}

void CardWindow::OnCreate() {
    // The icon box stays drawn above the labels it overlaps.
    SetWindowPos(Control(IDC_PICTURE1), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ForwardMouseToRoot(Control(IDC_LABEL6));
    pictures_.Load(instance_);
    optionsPicture_ = LoadOptionsPicture(instance_);

    tmrInterval_.reset(new WindowTimer(hwnd_, kIntervalTimerId, kIntervalMs));
    tmrData_.reset(new WindowTimer(hwnd_, kDataTimerId, kDataMs));
    sckData_.reset(new AsyncSocket());
    const HostNames& hosts = ConfiguredHosts();
    cycle_.reset(new FeedCycle(settings_, *sckData_, *tmrData_, *tmrInterval_, *this, hosts.feed.name, clock_));
    cycle_->SetHostWords(hosts.feed.problem, hosts.feed.notFound);
    tmrInterval_->SetEnabled(true);
    // The service beside the card starts while the card builds itself; the
    // first fetch waits for it to listen.
    service_.reset(new LocalFeedService(hwnd_));
    supervisor_.reset(new ServiceSupervisor(*service_, clock_,
                                            UsesLocalService(hosts.feed.name, hosts.placeSearch.name)));
    supervisor_->SetOnSettled(this);
    cycle_->SetServiceLink(supervisor_.get());
    supervisor_->Begin();
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
}

void CardWindow::Form_Load() {
    settings_.AppVersion = CLOUDWICK_APP_VERSION;
    SetCaption(IDC_LBLBAR, "");
    SetTopMostWindow(hwnd_, -1);
    LoadSettingsOrTell(settings_);
    cycle_->LoadFeedFields(settings_);
    BringStoredPlaceOnScreen();
    SetWindowPos(hwnd_, nullptr, TwipsToPixelsX(settings_.WindowLeft), TwipsToPixelsY(settings_.WindowTop),
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (settings_.StartInTray == 1) {
        minimize_to_tray();
        AddTrayIcon();
    } else {
        show_in_tray();
        ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    }
    if (settings_.LocationName != "none" && !settings_.LocationName.empty()) RefreshOptions();
}

void CardWindow::OnDestroy() { Form_Unload(false); }

void CardWindow::SaveChoices() {
    // What the file would hold at the unload, written now: a crash or a
    // kill later loses nothing chosen before it.
    if (unloaded_) return;
    AppSettings now = settings_;
    cycle_->StoreFeedFields(now);
    SaveSettingsOrTell(nullptr, now);
}

void CardWindow::Form_Unload(bool sessionEnds) {
    // The end of a session unloads the card before Windows ends the
    // process, which may then never see WM_DESTROY: once is enough.
    if (unloaded_) return;
    unloaded_ = true;
    OptionsDialog::ForgetOwner(this);
    cycle_->StoreFeedFields(settings_);
    RecordPosition();
    if (sessionEnds)
        SaveSettingsAtSessionEnd(settings_);
    else
        SaveSettingsOrTell(nullptr, settings_);
    RemoveTrayIcon();
    tmrInterval_->SetEnabled(false);
    tmrData_->SetEnabled(false);
    sckData_->Close();
}

BOOL CardWindow::SetTopMostWindow(HWND hwnd, short topmost) {
    return SetWindowPos(hwnd, topmost == -1 ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void CardWindow::RefreshOptions() {
    cycle_->RefreshOptions();
    SaveChoices();  // after "Okay": the new place and units
}

void CardWindow::OnTimer(UINT_PTR id) {
    if (id == kDataTimerId && tmrData_->Enabled()) cycle_->OnDataTick();
    if (id == kIntervalTimerId && tmrInterval_->Enabled()) cycle_->OnIntervalTick();
}

void CardWindow::OnCommand(int id, int code) {
    switch (id) {
    case IDM_OPEN: Restore(); break;
    case IDM_REFRESH: RefreshOptions(); break;
    case IDM_OPTIONS: OpenOptions(); break;
    case IDM_EXIT: mnuExit_Click(); break;
    case IDC_LABEL3:
        if (code == STN_CLICKED) Label3_Click();
        break;
    }
}

void CardWindow::mnuExit_Click() { DestroyWindow(hwnd_); }

void CardWindow::OnPaintChild(HDC dc, HWND child) {
    if (child == Control(IDC_PICTURE1)) {
        pictures_.Draw(dc, 0, 0, picture_, dpi_);
    } else if (child == Control(IDC_PICTURE2)) {
        DrawBitmap(dc, optionsPicture_, dpi_);
    }
}

void CardWindow::OnDpiChanged() {
    // The table put the forecast lines back at their design rows: they go
    // where the card last placed them, at the new DPI.
    for (const Placed p : placed_)
        if (p.id) PlaceControlTwips(p.id, p.top, p.height);
}

void CardWindow::PlaceControlTwips(int id, int topTwips, int heightTwips) {
    const ControlSpec* row = FindCardControl(id);
    placed_[id == IDC_TXTDAY1 ? 0 : 1] = {id, topTwips, heightTwips};
    SetWindowPos(Control(id), nullptr, TwipsToPixels(row->left, dpi_), TwipsToPixels(topTwips, dpi_),
                 TwipsToPixels(row->width, dpi_), TwipsToPixels(heightTwips, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CardWindow::SetPicture(int number) {
    picture_ = number;
    InvalidateRect(Control(IDC_PICTURE1), nullptr, TRUE);
}

// FeedView

void CardWindow::ClearDisplay() {
    SetCaption(IDC_TXTTITLE, "My City");
    for (int id : {IDC_TXTDATETIME, IDC_TXTTEMP, IDC_TXTWTEMP, IDC_TXTWSPEED, IDC_TXTCOND, IDC_TXTDAY1, IDC_TXTDAY2})
        SetCaption(id, "");
    day2TopTwips_ = day2BaseTwips_ = kDay2ResetTopTwips;
    PlaceControlTwips(IDC_TXTDAY1, kDay1TopTwips, day1HeightTwips_);
    PlaceControlTwips(IDC_TXTDAY2, day2TopTwips_, FindCardControl(IDC_TXTDAY2)->height);
    SetPicture(0);
}

void CardWindow::SetBarText(const std::string& text) { SetCaption(IDC_LBLBAR, text); }

void CardWindow::ShowNetworkError() { SetCaption(IDC_TXTDAY1, "network error"); }

void CardWindow::ShowProblem(const std::string& text) {
    // A reason wider than the line gets a second row, as a long first
    // forecast line does (the card is blank below it); blanking the card
    // puts the line back to its own height.
    if (TextWidth(IDC_TXTDAY1, text) > BoxWidth(IDC_TXTDAY1))
        PlaceControlTwips(IDC_TXTDAY1, kDay1TopTwips, kDay1TallHeightTwips);
    SetCaption(IDC_TXTDAY1, text);
}

void CardWindow::ShowForecast(const ForecastResult& result) {
    for (const auto& caption : result.captions) {
        if (caption.first == CardField::Day1 && result.ok &&
            FirstLineIsTall(result.day1Tall, TextWidth(IDC_TXTDAY1, caption.second), BoxWidth(IDC_TXTDAY1))) {
            day1HeightTwips_ = kDay1TallHeightTwips;
            PlaceControlTwips(IDC_TXTDAY1, kDay1TopTwips, day1HeightTwips_);
            // From the blanked card's place: a newer document shown over
            // this one (fresh weather after a stale copy) moves it once.
            day2TopTwips_ = day2BaseTwips_ + kDay2TallShiftTwips;
            PlaceControlTwips(IDC_TXTDAY2, day2TopTwips_, FindCardControl(IDC_TXTDAY2)->height);
        }
        SetCaption(kFieldLabels[static_cast<int>(caption.first)], caption.second);
    }
    SetPicture(result.picture);
    std::string tip = Caption(IDC_TXTTITLE) + " : " + Caption(IDC_TXTTEMP);
    std::array<char, 64> field = TipField(tip);
    memcpy(trayIconData_.szTip, field.data(), field.size());
    Shell_NotifyIconA(NIM_MODIFY, &trayIconData_);
}
