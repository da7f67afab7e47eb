#pragma once
// The card's tray icon is its only way back once it is hidden: it must be
// there, whenever the shell lets it. At log-on the card may start before
// the taskbar exists, and the shell's add then fails; the keeper tries again
// on a clock until an add succeeds, and adds the icon again whenever a
// restarted taskbar announces itself ("TaskbarCreated").
class TrayShell {
public:
    virtual ~TrayShell() = default;
    virtual bool AddIcon() = 0;           // true once the shell holds the icon
    virtual void SetRetryClock(bool on) = 0;
};

class TrayIconKeeper {
public:
    explicit TrayIconKeeper(TrayShell& shell) : shell_(shell) {}

    void Add();               // at start, and whenever the shell lost the icon
    void OnRetryTick();       // the retry clock ticked
    void OnTaskbarCreated();  // a (re)started taskbar holds no icons
    void Removed();           // the card deleted its icon: no more retries

    bool added() const { return added_; }
    int failedAdds() const { return failedAdds_; }

private:
    TrayShell& shell_;
    bool wanted_ = false;
    bool added_ = false;
    bool retrying_ = false;
    int failedAdds_ = 0;
};

// How often a failed add is tried again.
const unsigned kTrayRetryMs = 1000;
