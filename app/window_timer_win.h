#pragma once
#include <winsock2.h>  // before windows.h, which would pull in the old winsock
#include <windows.h>

#include "app/net_interfaces.h"

// A window timer (WM_TIMER with its id arrives at the owner window).
class WindowTimer : public Timer {
public:
    WindowTimer(HWND owner, UINT_PTR id, UINT intervalMs) : owner_(owner), id_(id), interval_(intervalMs) {}
    ~WindowTimer() override { SetEnabled(false); }
    void SetEnabled(bool on) override;
    bool Enabled() const override { return enabled_; }
    UINT_PTR id() const { return id_; }

private:
    HWND owner_;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};
