#include "app/window_timer_win.h"

void WindowTimer::SetEnabled(bool on) {
    // Enabling again restarts the period, as disabling and enabling should.
    if (on)
        enabled_ = SetTimer(owner_, id_, interval_, nullptr) != 0;
    else {
        if (enabled_ && IsWindow(owner_)) KillTimer(owner_, id_);
        enabled_ = false;
    }
}
