#pragma once
// What the options dialog asks of the window that opened it.
class ServiceLink;

class OptionsOwner {
public:
    virtual ~OptionsOwner() = default;
    // "Okay" has stored new choices: fetch the weather for them.
    virtual void RefreshOptions() = 0;
    // The dialog has closed, by any way: show again what was shown before.
    virtual void OptionsClosed() = 0;
    // The local feed service the place search waits for; null: none.
    virtual ServiceLink* FeedServiceLink() { return nullptr; }
};
