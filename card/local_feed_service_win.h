#pragma once
// cloudwick-feed.exe beside the card, seen through the named kernel objects
// it makes for this user's session and this folder, and started with
// CreateProcessW; never through the network. Waits run on the system's
// wait threads and come back as messages to `notify`: kMsgServiceReady and
// kMsgServiceExited (then TakeExitCode tells how).
#include <winsock2.h>
#include <windows.h>

#include "card/service_supervisor.h"

class LocalFeedService : public ServiceControl {
public:
    static const UINT kMsgServiceReady = WM_APP + 0x301;
    static const UINT kMsgServiceExited = WM_APP + 0x302;

    explicit LocalFeedService(HWND notify);
    ~LocalFeedService() override;

    Presence Look() override;
    bool Start(NoService& why) override;
    void AwaitReady() override;
    void Register() override;
    bool Published(unsigned short& port, unsigned long& pid) override;
    bool ListenerPid(unsigned short port, unsigned long& pid) override;
    void EndStarted() override;
    void EndPublished(unsigned long pid) override;

    // The exit code of the copy this card started, once it has ended.
    bool TakeExitCode(unsigned long& code);
    // After kMsgServiceReady: the waits are over (a ready copy is no
    // longer this card's to end).
    void EndWaits();

private:
    static void CALLBACK ReadyFired(void* window, BOOLEAN timedOut);
    static void CALLBACK ProcessEnded(void* window, BOOLEAN timedOut);
    bool WaitOnReadyEvent(bool clearStale);
    void CloseProcess();

    HWND notify_;
    // Plain wide buffers (the card links no std::wstring), long enough for
    // any path Windows makes.
    static const int kPathUnits = 32768;
    wchar_t mutexName_[64] = L"";
    wchar_t readyName_[64] = L"";
    wchar_t portName_[64] = L"";
    wchar_t pipeName_[96] = L"";
    int folderLength_ = 0;
    // Not cleared up front: a large block's pages are only touched as far
    // as a path or table fills them.
    wchar_t folder_[kPathUnits];  // the card's folder, where the service is
    wchar_t exe_[kPathUnits + 32];
    wchar_t command_[kPathUnits + 64];
    // The listeners' table: room for some two thousand; a longer one tells nothing.
    DWORD tcpTable_[16384];
    HANDLE ready_ = nullptr;    // the ready event, held only while waiting
    HANDLE readyWait_ = nullptr;
    HANDLE process_ = nullptr;  // a copy this card started, until it settles
    HANDLE processWait_ = nullptr;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;  // this card's registration
};
