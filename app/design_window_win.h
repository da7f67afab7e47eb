#pragma once
// The skeleton of the program's top-level windows: a window built from its
// design table that owns its controls, fonts and brushes, with one window
// procedure routing messages to On* members. The object lives as long as its
// window and deletes itself with it; the program ends with its last window.
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include <memory>
#include <vector>
#include <string>

#include "app/design_controls_win.h"
#include "app/drawing_win.h"
#include "app/layout_types.h"

class DesignWindow {
public:
    HWND hwnd() const { return hwnd_; }

    // Tab, Enter and Esc for the windows that asked for dialog keys; true
    // when the message was used.
    static bool TranslateDialogKeys(MSG& msg);

protected:
    struct Frame {
        const char* className;
        const char* title;
        DWORD style, exStyle;
        int left, top, width, height;  // the client area, twips
        HBRUSH background;             // null: the window paints it
        HICON bigIcon, smallIcon;
        bool dialogKeys;
    };

    DesignWindow(const ControlSpec* rows, size_t count);
    virtual ~DesignWindow();
    DesignWindow(const DesignWindow&) = delete;
    DesignWindow& operator=(const DesignWindow&) = delete;

    // Creates the window (owned by the hidden owner); its controls are made
    // from the table before OnCreate runs.
    bool CreateFrame(HINSTANCE instance, const Frame& frame);

    HWND Control(int id) const;
    void SetCaption(int id, const std::string& text);
    std::string Caption(int id) const;

    virtual void OnCreate() {}
    virtual void OnDestroy() {}
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual void OnChildMouse(int /*id*/, UINT /*msg*/, int /*buttons*/) {}
    virtual void OnPaintChild(HDC /*dc*/, HWND /*child*/) {}
    // After the window was laid out again at a new DPI (dpi_): what the
    // window draws or places itself (pictures, moved lines) follows.
    virtual void OnDpiChanged() {}
    // The brush and colours of a static or button control: its table colours.
    virtual HBRUSH OnColourStatic(HWND control, HDC dc);
    // Every message the skeleton leaves alone.
    virtual LRESULT OnOtherMessage(UINT msg, WPARAM wp, LPARAM lp);

    // Lays the window out again at `dpi`: every control at its row's place
    // from twips (one MulDiv), new fonts, the client area the design's
    // size. `suggested`, from WM_DPICHANGED, is where Windows puts the
    // window; null keeps its top-left corner.
    void ApplyDpi(int dpi, const RECT* suggested);

    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    int dpi_ = 96;  // the DPI the window is laid out at

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

    const ControlSpec* rows_;
    size_t rowCount_;
    bool dialogKeys_ = false;
    std::vector<HWND> controls_;  // one per row of the table, in its order
    std::unique_ptr<Fonts> fonts_;
    int clientWidthTwips_ = 0, clientHeightTwips_ = 0;
    Brushes brushes_;
};
