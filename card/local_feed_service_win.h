#pragma once
// cloudwick-feed.exe beside the card, seen through its named kernel objects
// and started with CreateProcess; never through the network. Waits run on
// the system's wait threads and come back as messages to `notify`:
// kMsgServiceReady and kMsgServiceExited (then TakeExitCode tells how).
#include <winsock2.h>
#include <windows.h>

#include "card/service_supervisor.h"

class LocalFeedService : public ServiceControl {
public:
    static const UINT kMsgServiceReady = WM_APP + 0x301;
    static const UINT kMsgServiceExited = WM_APP + 0x302;

    explicit LocalFeedService(HWND notify) : notify_(notify) {}
    ~LocalFeedService() override;

    Presence Look() override;
    bool Start() override;
    void AwaitReady() override;
    void Register() override;

    // The exit code of the copy this card started, once it has ended.
    bool TakeExitCode(unsigned long& code);
    // After kMsgServiceReady: the waits are over.
    void EndWaits();

private:
    static void CALLBACK ReadyFired(void* window, BOOLEAN timedOut);
    static void CALLBACK ProcessEnded(void* window, BOOLEAN timedOut);
    bool WaitOnReadyEvent(bool clearStale);

    HWND notify_;
    HANDLE ready_ = nullptr;    // the ready event, held only while waiting
    HANDLE readyWait_ = nullptr;
    HANDLE process_ = nullptr;  // a copy this card started, until it settles
    HANDLE processWait_ = nullptr;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;  // this card's registration
};
