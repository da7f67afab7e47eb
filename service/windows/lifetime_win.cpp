#include "windows/lifetime_win.h"

#include <windows.h>
#include <sddl.h>

#include <string>

#include <chrono>
#include <mutex>
#include <thread>

namespace {

// Named for this user's session and this copy's folder (lifetime_win.h).
std::wstring mutexName, readyName, portName, cardPipeName;
std::wstring access;  // this user and SYSTEM, nobody else
const auto kLastCardGrace = std::chrono::milliseconds(2000);

// FNV-1a over the folder's UTF-16 units, upper-cased: the same folder gives
// the same key however its name was spelled (card/local_feed_service.cpp).
std::wstring FolderKey(std::wstring folder) {
    if (!folder.empty()) CharUpperBuffW(&folder[0], static_cast<DWORD>(folder.size()));
    uint32_t h = 2166136261u;
    for (wchar_t w : folder) {
        const uint16_t u = static_cast<uint16_t>(w);
        h = (h ^ (u & 0xFFu)) * 16777619u;
        h = (h ^ (u >> 8)) * 16777619u;
    }
    wchar_t hex[9];
    for (int i = 0; i < 8; ++i) hex[i] = L"0123456789abcdef"[(h >> (28 - 4 * i)) & 15];
    hex[8] = 0;
    return hex;
}

std::wstring UserAccess() {
    std::wstring sid;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        char buf[256];
        DWORD n = 0;
        LPWSTR text = nullptr;
        if (GetTokenInformation(token, TokenUser, buf, sizeof buf, &n) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, &text)) {
            sid = text;
            LocalFree(text);
        }
        CloseHandle(token);
    }
    // Protected: nothing inherited; the user and SYSTEM alone.
    return sid.empty() ? L"D:P(A;;GA;;;SY)(A;;GA;;;OW)" : L"D:P(A;;GA;;;" + sid + L")(A;;GA;;;SY)";
}

// Security attributes that grant this user and SYSTEM alone.
class Guarded {
public:
    Guarded() {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &sd_, nullptr))
            sa_.lpSecurityDescriptor = sd_;
    }
    ~Guarded() {
        if (sd_) LocalFree(sd_);
    }
    SECURITY_ATTRIBUTES* get() { return &sa_; }

private:
    SECURITY_ATTRIBUTES sa_ = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PSECURITY_DESCRIPTOR sd_ = nullptr;
};

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
    Guarded guard;
    HANDLE e = CreateEventW(guard.get(), TRUE, FALSE, readyName.c_str());
    if (!e) e = OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, readyName.c_str());
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
        Guarded guard;
        HANDLE p = CreateNamedPipeW(cardPipeName.c_str(),
                                    PIPE_ACCESS_DUPLEX | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                                    PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                    PIPE_UNLIMITED_INSTANCES, 16, 16, 0, guard.get());
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

bool ClaimSingleInstance(const std::wstring& folder) {
    const std::wstring key = FolderKey(folder);
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    mutexName = L"Local\\CloudwickFeed-" + key;
    readyName = L"Local\\CloudwickFeedReady-" + key;
    portName = L"Local\\CloudwickFeedPort-" + key;
    cardPipeName = L"\\\\.\\pipe\\CloudwickFeedCards-" + std::to_wstring(session) + L"-" + key;
    access = UserAccess();
    // "Local\": one per session, user and folder. The handle stays open
    // until the process ends, whichever way it ends.
    Guarded guard;
    HANDLE m = CreateMutexW(guard.get(), FALSE, mutexName.c_str());
    if (!m) return false;  // access denied: someone else made the name
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

bool PublishPort(int port) {
    Guarded guard;
    HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, guard.get(), PAGE_READWRITE, 0, sizeof(PublishedService),
                                    portName.c_str());
    if (!map) return false;
    auto* record = static_cast<PublishedService*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, sizeof(PublishedService)));
    if (!record) {
        CloseHandle(map);
        return false;
    }
    // Held (mapped) until the process ends: the record goes with it.
    record->port = static_cast<uint32_t>(port);
    record->pid = GetCurrentProcessId();
    record->magic = PublishedService::kMagic;
    return true;
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
