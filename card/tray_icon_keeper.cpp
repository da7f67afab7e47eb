#include "card/tray_icon_keeper.h"

void TrayIconKeeper::Add() {
    wanted_ = true;
    added_ = shell_.AddIcon();
    if (!added_) ++failedAdds_;
    if (retrying_ == !added_) return;  // the clock already runs exactly while the icon is missing
    retrying_ = !added_;
    shell_.SetRetryClock(retrying_);
}

void TrayIconKeeper::OnRetryTick() {
    if (!wanted_ || added_) {
        if (retrying_) shell_.SetRetryClock(retrying_ = false);
        return;
    }
    Add();
}

void TrayIconKeeper::OnTaskbarCreated() {
    if (wanted_) Add();
}

void TrayIconKeeper::Removed() {
    wanted_ = false;
    added_ = false;
    if (retrying_) shell_.SetRetryClock(retrying_ = false);
}
