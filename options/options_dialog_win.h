#pragma once
// The options dialog: stored choices, the place search, start with Windows.
#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <string>

#include "app/async_socket_win.h"
#include "app/design_window_win.h"
#include "app/settings.h"
#include "app/window_timer_win.h"
#include "options/options_owner.h"
#include "options/place_search.h"

extern const char* const kOptionsClassName;  // "CloudwickOptions"

class OptionsDialog : public DesignWindow, public PlaceSearchView {
public:
    // Creates and shows a new dialog; each opening makes another one. The
    // owner hears of "Okay" and of the close, until ForgetOwner.
    static HWND Open(HINSTANCE instance, AppSettings& settings, OptionsOwner* owner);
    // The owner is going away: open dialogs stop telling it anything.
    static void ForgetOwner(OptionsOwner* owner);
    ~OptionsDialog() override;

private:
    OptionsDialog(AppSettings& settings, OptionsOwner* owner);
    static LRESULT CALLBACK SearchBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
    void OnCreate() override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;
    void OnCommand(int id, int code) override;
    HBRUSH OnColourStatic(HWND control, HDC dc) override;
    LRESULT OnOtherMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void Form_Load();
    void FillOptions();
    void ApplyOptions();
    void cmdOK_Click();
    void Form_Unload();
    void PaintBackground(HDC dc);
    void MakeMapBrush();
    void OnDpiChanged() override;
    void ArrangeTabOrder();
    void OnActivate(bool active);
    int DefaultButton() const;
    void ShowAsDefault(int buttonId);

    // PlaceSearchView
    std::string SearchText() const override;
    void SetStatus(const std::string& text) override;
    void SetOkEnabled(bool on) override;
    bool OkEnabled() const override;
    void FocusOk() override;
    void FocusSearchText() override;

    AppSettings& settings_;
    OptionsOwner* owner_;
    HBITMAP background_ = nullptr;
    HBITMAP mapDrawn_ = nullptr;  // the map at the screen's scale, for mapBrush_
    HBRUSH mapBrush_ = nullptr;
    HWND lastFocus_ = nullptr;  // the control that gets the focus back when the window is activated
    std::unique_ptr<WindowTimer> timer1_;
    std::unique_ptr<AsyncSocket> sockWID_;
    std::unique_ptr<PlaceSearch> search_;
};
