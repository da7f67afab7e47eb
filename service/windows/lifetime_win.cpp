#include "windows/lifetime_win.h"

#include <windows.h>
#include <sddl.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace {

const char kMutexName[] = "Global\\CloudwickFeedService";
const char kReadyName[] = "Global\\CloudwickFeedReady";
const char kCardPipeName[] = "\\\\.\\pipe\\CloudwickFeedCards";
// Cards of every user of the machine wait on the ready signal: everyone
// may wait on it and reset it; SYSTEM and administrators hold all rights.
const char kReadyAccess[] = "D:(A;;0x00100002;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)";
const auto kLastCardGrace = std::chrono::milliseconds(2000);

HANDLE readyEvent = nullptr;

// Who uses the service: the starting card (until it ends) and every card
// that holds a pipe connection.
std::mutex usersLock;
bool startedByCard = false;
bool parentGone = false;
bool announced = false;
int cardConnections = 0;
unsigned change = 0;  // tells a grace period that something happened meanwhile
std::function<void()> onLastCard;

HANDLE MakeReadyEvent() {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, FALSE};
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kReadyAccess, SDDL_REVISION_1, &sd, nullptr))
        sa.lpSecurityDescriptor = sd;
    HANDLE e = CreateEventA(&sa, TRUE, FALSE, kReadyName);
    if (!e) e = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, kReadyName);
    if (sd) LocalFree(sd);
    return e;
}

void CheckLastCardLocked() {
    if (!announced || !startedByCard) return;
    if (!parentGone || cardConnections > 0) return;
    const unsigned at = ++change;
    std::thread([at] {
        std::this_thread::sleep_for(kLastCardGrace);
        std::function<void()> run;
        {
            std::lock_guard<std::mutex> hold(usersLock);
            if (at != change || cardConnections > 0) return;
            run = onLastCard;
        }
        if (run) run();
    }).detach();
}

void CardArrived() {
    std::lock_guard<std::mutex> hold(usersLock);
    ++cardConnections;
    ++change;
}

void CardLeft() {
    std::lock_guard<std::mutex> hold(usersLock);
    --cardConnections;
    ++change;
    CheckLastCardLocked();
}

// One pipe instance waits for the next card while each connected one is
// read on a thread of its own until its card closes it (or ends).
void ServeCardPipe() {
    bool first = true;
    for (;;) {
        HANDLE p = CreateNamedPipeA(kCardPipeName,
                                    PIPE_ACCESS_DUPLEX | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                    PIPE_UNLIMITED_INSTANCES, 16, 16, 0, nullptr);
        if (p == INVALID_HANDLE_VALUE) {
            // Someone else made the first instance: no registrations, and
            // the service keeps the starting card's lifetime alone.
            if (first) return;
            Sleep(1000);
            continue;
        }
        first = false;
        if (!ConnectNamedPipe(p, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            CloseHandle(p);
            continue;
        }
        CardArrived();
        std::thread([p] {
            char byte;
            DWORD got = 0;
            while (ReadFile(p, &byte, 1, &got, nullptr)) {
            }
            CloseHandle(p);
            CardLeft();
        }).detach();
    }
}

}  // namespace

bool ClaimSingleInstance() {
    // "Global\": one per machine, across the users' sessions. The handle
    // stays open until the process ends, whichever way it ends.
    HANDLE m = CreateMutexA(nullptr, FALSE, kMutexName);
    if (!m) return false;  // access denied: another user's copy holds it
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(m);
        return false;
    }
    // A card may have made the event to wait on; a copy killed while a card
    // held it may have left it set. Set again once this copy listens.
    readyEvent = MakeReadyEvent();
    if (readyEvent) ResetEvent(readyEvent);
    return true;
}

bool WatchProcess(uint32_t pid, std::function<void()> onEnd) {
    HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p) return false;
    FILETIME theirs{}, ours{}, unused1{}, unused2{}, unused3{};
    const bool older = GetProcessTimes(p, &theirs, &unused1, &unused2, &unused3) &&
                       GetProcessTimes(GetCurrentProcess(), &ours, &unused1, &unused2, &unused3) &&
                       CompareFileTime(&theirs, &ours) <= 0;
    if (!older || WaitForSingleObject(p, 0) == WAIT_OBJECT_0) {
        CloseHandle(p);
        return false;
    }
    std::thread([p, onEnd = std::move(onEnd)] {
        WaitForSingleObject(p, INFINITE);
        CloseHandle(p);
        onEnd();
    }).detach();
    return true;
}

void ParentCardEnded() {
    std::lock_guard<std::mutex> hold(usersLock);
    parentGone = true;
    ++change;
    CheckLastCardLocked();
}

void AnnounceListening(bool byCard, std::function<void()> onLastCardGone) {
    {
        std::lock_guard<std::mutex> hold(usersLock);
        startedByCard = byCard;
        onLastCard = std::move(onLastCardGone);
        announced = true;
        CheckLastCardLocked();
    }
    std::thread(ServeCardPipe).detach();
    if (!readyEvent) readyEvent = MakeReadyEvent();
    if (readyEvent) SetEvent(readyEvent);
}
