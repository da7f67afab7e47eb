#include "card/local_feed_service_win.h"

#include <iphlpapi.h>

#include <string>

#include "card/local_feed_service.h"

namespace {
// The record the service publishes (service/windows/lifetime_win.h).
struct PublishedService {
    static const DWORD kMagic = 0x464B5743;  // "CWKF"
    DWORD magic;
    DWORD port;
    DWORD pid;
};

// An ASCII name into a wide buffer large enough for it.
void Widen(const char* ascii, wchar_t* out) {
    while ((*out++ = static_cast<unsigned char>(*ascii++)) != 0) {
    }
}

void EndWait(HANDLE& wait) {
    // Not blocking: a callback already running only posts a message, which
    // the card ignores once nothing waits.
    if (wait) UnregisterWaitEx(wait, nullptr);
    wait = nullptr;
}

// Ends a process and waits a moment for its objects to go.
void EndProcess(HANDLE process) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 2000);
}
}  // namespace

LocalFeedService::LocalFeedService(HWND notify) : notify_(notify) {
    DWORD n = GetModuleFileNameW(nullptr, folder_, kPathUnits);
    if (n >= static_cast<DWORD>(kPathUnits)) n = 0;
    while (n > 0 && folder_[n - 1] != L'\\' && folder_[n - 1] != L'/') --n;
    folder_[n > 0 ? n - 1 : 0] = 0;
    folderLength_ = lstrlenW(folder_);
    // Upper-cased in the command line's buffer, for the key.
    lstrcpyW(command_, folder_);
    CharUpperBuffW(command_, static_cast<DWORD>(folderLength_));
    char key[9];
    FolderKey(reinterpret_cast<const uint16_t*>(command_), static_cast<size_t>(folderLength_), key);
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    // The same names as service/windows/lifetime_win.cpp.
    char name[96];
    const char* const kinds[] = {"", "Ready", "Port"};
    wchar_t* const names[] = {mutexName_, readyName_, portName_};
    for (int i = 0; i < 3; ++i) {
        wsprintfA(name, "Local\\CloudwickFeed%s-%s", kinds[i], key);
        Widen(name, names[i]);
    }
    wsprintfA(name, "\\\\.\\pipe\\CloudwickFeedCards-%lu-%s", session, key);
    Widen(name, pipeName_);
}

LocalFeedService::~LocalFeedService() {
    // A copy this card started that never became ready does not outlive it.
    EndStarted();
    EndWaits();
    if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
}

ServiceControl::Presence LocalFeedService::Look() {
    HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, mutexName_);
    if (m) {
        CloseHandle(m);
    } else if (GetLastError() != ERROR_ACCESS_DENIED) {
        return Presence::Absent;
    }
    HANDLE e = OpenEventW(SYNCHRONIZE, FALSE, readyName_);
    // No signal to look at (not ours to open): it listens as far as the
    // card can tell.
    if (!e) return Presence::Listening;
    const bool set = WaitForSingleObject(e, 0) == WAIT_OBJECT_0;
    CloseHandle(e);
    return set ? Presence::Listening : Presence::Starting;
}

bool LocalFeedService::Published(unsigned short& port, unsigned long& pid) {
    HANDLE map = OpenFileMappingW(FILE_MAP_READ, FALSE, portName_);
    if (!map) return false;
    const auto* record = static_cast<const PublishedService*>(MapViewOfFile(map, FILE_MAP_READ, 0, 0, sizeof(PublishedService)));
    bool ok = false;
    if (record) {
        ok = record->magic == PublishedService::kMagic && record->port > 0 && record->port < 65536;
        port = static_cast<unsigned short>(record->port);
        pid = record->pid;
        UnmapViewOfFile(record);
    }
    CloseHandle(map);
    return ok;
}

bool LocalFeedService::ListenerPid(unsigned short port, unsigned long& pid) {
    DWORD size = sizeof(tcpTable_);
    if (GetExtendedTcpTable(tcpTable_, &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0) != NO_ERROR) return false;
    const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(tcpTable_);
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = rows->table[i];
        // The table holds ports and addresses in network order.
        const DWORD rowPort = ((row.dwLocalPort & 0xFF) << 8) | ((row.dwLocalPort >> 8) & 0xFF);
        if (rowPort != port) continue;
        if (row.dwLocalAddr != 0x0100007F && row.dwLocalAddr != 0) continue;  // 127.0.0.1, 0.0.0.0
        // An owner the system does not know says nothing either way.
        pid = row.dwOwningPid;
        return pid != 0;
    }
    return false;
}

bool LocalFeedService::WaitOnReadyEvent(bool clearStale) {
    EndWait(readyWait_);
    if (ready_) CloseHandle(ready_);
    // Made here when no copy has made it yet, so the wait starts before the
    // service does; with the security of the card's own token (this user
    // and SYSTEM), under this session's names.
    ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName_);
    if (!ready_) ready_ = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, readyName_);
    if (!ready_) return false;
    // Left set by a copy that was killed while some card held the event.
    if (clearStale) ResetEvent(ready_);
    return RegisterWaitForSingleObject(&readyWait_, ready_, &LocalFeedService::ReadyFired, notify_, INFINITE,
                                       WT_EXECUTEONLYONCE) != 0;
}

bool LocalFeedService::Start(NoService& why) {
    wsprintfW(exe_, L"%s\\%hs", folder_, kLocalServiceExe);
    const bool insideZip = LooksInsideZip(reinterpret_cast<const uint16_t*>(folder_), static_cast<size_t>(folderLength_));
    const DWORD attributes = GetFileAttributesW(exe_);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = StartRefusal(ERROR_FILE_NOT_FOUND, insideZip);
        return false;
    }
    EndWaits();
    WaitOnReadyEvent(true);
    wsprintfW(command_, L"\"%s\" --parent-pid %lu", exe_, GetCurrentProcessId());
    STARTUPINFOW start = {};
    start.cb = sizeof(start);
    start.dwFlags = STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(exe_, command_, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder_,
                                        &start, &process);
    const DWORD error = GetLastError();
    if (!started) {
        why = StartRefusal(error, insideZip);
        EndWaits();
        return false;
    }
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    RegisterWaitForSingleObject(&processWait_, process_, &LocalFeedService::ProcessEnded, notify_, INFINITE,
                                WT_EXECUTEONLYONCE);
    return true;
}

void LocalFeedService::AwaitReady() {
    // A copy this card started stays watched: its exit code still tells.
    WaitOnReadyEvent(false);
}

void LocalFeedService::EndStarted() {
    if (!process_) return;
    EndWait(processWait_);
    EndProcess(process_);
    CloseProcess();
}

void LocalFeedService::EndPublished(unsigned long pid) {
    if (pid == 0 || pid == GetCurrentProcessId()) return;
    HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!p) return;
    EndProcess(p);
    CloseHandle(p);
}

void LocalFeedService::CloseProcess() {
    if (process_) CloseHandle(process_);
    process_ = nullptr;
}

void LocalFeedService::EndWaits() {
    EndWait(readyWait_);
    EndWait(processWait_);
    if (ready_) CloseHandle(ready_);
    ready_ = nullptr;
    CloseProcess();
}

// The wait threads only post: the card's thread reads everything else.
void CALLBACK LocalFeedService::ReadyFired(void* window, BOOLEAN) {
    PostMessageA(static_cast<HWND>(window), kMsgServiceReady, 0, 0);
}

void CALLBACK LocalFeedService::ProcessEnded(void* window, BOOLEAN) {
    PostMessageA(static_cast<HWND>(window), kMsgServiceExited, 0, 0);
}

bool LocalFeedService::TakeExitCode(unsigned long& code) {
    DWORD got = STILL_ACTIVE;
    if (!process_ || !GetExitCodeProcess(process_, &got) || got == STILL_ACTIVE) return false;
    code = got;
    EndWaits();
    return true;
}

void LocalFeedService::Register() {
    // One connection for the card's whole run; a new one after the service
    // it belonged to has gone.
    if (pipe_ != INVALID_HANDLE_VALUE) {
        DWORD avail = 0;
        if (PeekNamedPipe(pipe_, nullptr, 0, nullptr, &avail, nullptr)) return;
        CloseHandle(pipe_);
    }
    // Identification only: whoever made the pipe learns who connected, and
    // can act as this user in nothing.
    pipe_ = CreateFileW(pipeName_, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                        SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
}
