#pragma once
// The card: a borderless, topmost, fixed-size window with a tray icon.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <map>
#include <memory>
#include <string>

#include "app/async_socket_win.h"
#include "app/settings.h"
#include "app/ui_helpers_win.h"
#include "app/window_timer_win.h"
#include "card/weather_pictures_win.h"
#include "feed/feed_cycle.h"

extern const char* const kCardClassName;  // "CloudwickCard"

class CardWindow : public FeedView, public SocketEvents {
public:
    explicit CardWindow(AppSettings& settings);
    ~CardWindow() override;
    bool Create(HINSTANCE instance);
    HWND hwnd() const { return hwnd_; }

    void Form_Load();

    // Operations the options dialog uses.
    void RefreshOptions();
    void minimize_to_tray();
    static BOOL SetTopMostWindow(HWND hwnd, short topmost);
    void show_in_tray();
    void SetOpenEnabled(bool enabled);
    void ShowCard();

private:
    template <class T> friend LRESULT CALLBACK TopWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnCreate();
    void Form_Unload();
    void OnTimer(UINT_PTR id);
    void OnCommand(int id, int code);
    void OnChildMouse(int id, UINT msg, int button);
    void OnPaintChild(HDC dc, HWND child);
    void Form_MouseMove(int x);

    // Tray and visibility.
    void BuildTrayRecord();
    void Restore();
    void ShowMenu();
    void Label3_Click();
    void OnTaskbarCreated();

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
    void ShowForecast(const ForecastResult& result) override;

    // SocketEvents
    void OnSocketConnect() override;
    void OnSocketData(long bytesTotal) override;
    void OnSocketError() override;

    HWND Control(int id) const;
    void SetCaption(int id, const std::string& text);
    void PlaceControlTwips(int id, int topTwips, int heightTwips);
    void SetPicture(int number);

    AppSettings& settings_;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    std::map<int, HWND> controls_;
    Fonts fonts_;
    Brushes brushes_;
    HMENU menu_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HBITMAP optionsPicture_ = nullptr;
    WeatherPictures pictures_;
    int picture_ = 0;  // 0: none
    int day1HeightTwips_;
    int day2TopTwips_;
    NOTIFYICONDATAA trayIconData_ = {};
    UINT taskbarCreated_ = 0;
    std::unique_ptr<WindowTimer> tmrInterval_;
    std::unique_ptr<WindowTimer> tmrData_;
    std::unique_ptr<AsyncSocket> sckData_;
    std::unique_ptr<FeedCycle> cycle_;
};
