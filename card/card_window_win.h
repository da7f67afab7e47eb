#pragma once
// The card: a borderless, topmost, fixed-size window with a tray icon.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "app/async_socket_win.h"
#include "app/design_window_win.h"
#include "app/settings.h"
#include "app/window_timer_win.h"
#include "card/local_feed_service_win.h"
#include "card/service_supervisor.h"
#include "card/tray_icon_keeper.h"
#include "card/weather_pictures_win.h"
#include "feed/feed_cycle.h"
#include "options/options_owner.h"

extern const char* const kCardClassName;  // "CloudwickCard"

// The shell as the card's one tray icon sees it. The first adds can be
// made to fail by setting CLOUDWICK_TEST_TRAY_REFUSALS to a count: the
// end-to-end tests stage a taskbar that is not there yet at log-on.
class CardTrayShell : public TrayShell {
public:
    void Attach(HWND hwnd, NOTIFYICONDATAA* record) {
        hwnd_ = hwnd;
        record_ = record;
    }
    bool AddIcon() override;
    void SetRetryClock(bool on) override;

private:
    HWND hwnd_ = nullptr;
    NOTIFYICONDATAA* record_ = nullptr;
    int refusals_ = -1;  // not read yet
};

class CardWindow : public DesignWindow, public FeedView, public OptionsOwner, public ServiceSettledListener {
public:
    explicit CardWindow(AppSettings& settings);
    ~CardWindow() override;
    bool Create(HINSTANCE instance);

    void Form_Load();

    static BOOL SetTopMostWindow(HWND hwnd, short topmost);

    // OptionsOwner
    void RefreshOptions() override;
    void OptionsClosed() override;
    ServiceLink* FeedServiceLink() override { return supervisor_.get(); }

private:
    void OnCreate() override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;
    void OnCommand(int id, int code) override;
    void OnChildMouse(int id, UINT msg, int button) override;
    void OnPaintChild(HDC dc, HWND child) override;
    void OnDpiChanged() override;
    LRESULT OnOtherMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void Form_Unload(bool sessionEnds);
    void SaveChoices();      // the settings file, whenever the user's choices change
    void KeepOnWorkAreas();  // a card whose title strip is not wholly in sight moves onto the nearest work area
    void Form_MouseMove(int x);
    bool IsTrayCallback(LPARAM lp) const;
    void BringStoredPlaceOnScreen();
    int TextWidth(int id, const std::string& text) const;
    int BoxWidth(int id) const;

    // Tray and visibility.
    void BuildTrayRecord();
    void show_in_tray();
    void minimize_to_tray();
    void SetOpenEnabled(bool enabled);
    void Restore();
    void ShowShown();  // shown, flagged so, "Open" greyed
    void ShowMenu();
    void BuildMenu();
    void Label3_Click();
    void OnTaskbarCreated();
    void AddTrayIcon();     // now, or as soon as the shell takes it
    void RemoveTrayIcon();
    static void CALLBACK TrayRetryTick(HWND hwnd, UINT, UINT_PTR, DWORD);
    friend class CardTrayShell;

    // ServiceSettledListener
    void OnServiceSettled() override { cycle_->OnServiceReady(); }

    // Title strip.
    void Frame1_MouseDown(int button);
    void Frame1_MouseMove(int button);
    void Label6_MouseMove(int button);
    void StartDrag();
    void RecordPosition();

    void OpenOptions();
    void mnuExit_Click();

    // FeedView
    void ClearDisplay() override;
    void SetBarText(const std::string& text) override;
    void ShowNetworkError() override;
    void ShowProblem(const std::string& text) override;
    void ShowForecast(const ForecastResult& result) override;

    void PlaceControlTwips(int id, int topTwips, int heightTwips);
    void SetPicture(int number);

    AppSettings& settings_;
    HMENU menu_ = nullptr;  // the tray menu, made when first shown
    bool openEnabled_ = true;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HBITMAP optionsPicture_ = nullptr;
    WeatherPictures pictures_;
    int picture_ = 0;  // 0: none
    int day1HeightTwips_;
    int day2TopTwips_;
    int day2BaseTwips_;  // where the blanked card puts the second line
    // The forecast lines as last placed (they move off their design rows): id, top, height in twips.
    struct Placed {
        int id, top, height;
    };
    Placed placed_[2] = {{0, 0, 0}, {0, 0, 0}};
    NOTIFYICONDATAA trayIconData_ = {};
    CardTrayShell trayShell_;
    TrayIconKeeper trayKeeper_{trayShell_};
    UINT taskbarCreated_ = 0;
    bool unloaded_ = false;
    std::unique_ptr<WindowTimer> tmrInterval_;
    std::unique_ptr<WindowTimer> tmrData_;
    std::unique_ptr<AsyncSocket> sckData_;
    std::unique_ptr<FeedCycle> cycle_;

    // Milliseconds since Windows started, sleep included.
    class TickClock : public Clock {
    public:
        uint64_t NowMs() const override { return GetTickCount64(); }
    };
    TickClock clock_;
    std::unique_ptr<LocalFeedService> service_;
    std::unique_ptr<ServiceSupervisor> supervisor_;
};
