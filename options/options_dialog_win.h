#pragma once
// The options dialog: stored choices, the place search, start with Windows.
#include <winsock2.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "app/async_socket_win.h"
#include "app/settings.h"
#include "app/ui_helpers_win.h"
#include "app/window_timer_win.h"
#include "options/place_search.h"

extern const char* const kOptionsClassName;  // "CloudwickOptions"

class OptionsDialog : public PlaceSearchView, public SocketEvents {
public:
    // Creates and shows a new dialog; each opening makes another one.
    static HWND Open(HINSTANCE instance, AppSettings& settings);
    ~OptionsDialog() override;

private:
    OptionsDialog(HINSTANCE instance, AppSettings& settings);
    bool Create();
    template <class T> friend LRESULT CALLBACK TopWindowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK SearchBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnCreate();
    void Form_Load();
    void FillOptions();
    void ApplyOptions();
    void cmdOK_Click();
    void Form_Unload();
    void OnCommand(int id, int code);
    void PaintBackground(HDC dc);
    HBRUSH MapBehind(HWND control, HDC dc);
    void ArrangeTabOrder();
    HWND Control(int id) const;

    // PlaceSearchView
    std::string SearchText() const override;
    void SetStatus(const std::string& text) override;
    void SetOkEnabled(bool on) override;
    bool OkEnabled() const override;
    void FocusOk() override;
    void FocusSearchText() override;

    // SocketEvents
    void OnSocketConnect() override;
    void OnSocketData(long bytesTotal) override;
    void OnSocketError() override;

    HINSTANCE instance_;
    AppSettings& settings_;
    HWND hwnd_ = nullptr;
    std::map<int, HWND> controls_;
    Fonts fonts_;
    Brushes brushes_;
    HBITMAP background_ = nullptr;
    HBRUSH mapBrush_ = nullptr;
    WNDPROC searchBoxProc_ = nullptr;
    std::unique_ptr<WindowTimer> timer1_;
    std::unique_ptr<AsyncSocket> sockWID_;
    std::unique_ptr<PlaceSearch> search_;
};
