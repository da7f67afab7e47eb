#include "card/local_feed_service_win.h"

#include <sddl.h>

#include <string>

#include "app/app_win.h"
#include "card/local_feed_service.h"

namespace {
// The same names as service/windows/lifetime_win.cpp.
const char kMutexName[] = "Global\\CloudwickFeedService";
const char kReadyName[] = "Global\\CloudwickFeedReady";
const char kCardPipeName[] = "\\\\.\\pipe\\CloudwickFeedCards";
const char kReadyAccess[] = "D:(A;;0x00100002;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)";

bool MutexExists() {
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, kMutexName);
    if (m) {
        CloseHandle(m);
        return true;
    }
    // Another user's copy: the name exists, its rights are not ours.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

void EndWait(HANDLE& wait) {
    // Not blocking: a callback already running only posts a message, which
    // the card ignores once nothing waits.
    if (wait) UnregisterWaitEx(wait, nullptr);
    wait = nullptr;
}
}  // namespace

LocalFeedService::~LocalFeedService() {
    EndWaits();
    if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
}

ServiceControl::Presence LocalFeedService::Look() {
    if (!MutexExists()) return Presence::Absent;
    HANDLE e = OpenEventA(SYNCHRONIZE, FALSE, kReadyName);
    // No signal to look at (an older copy, or not ours to open): it listens
    // as far as the card can tell.
    if (!e) return Presence::Listening;
    const bool set = WaitForSingleObject(e, 0) == WAIT_OBJECT_0;
    CloseHandle(e);
    return set ? Presence::Listening : Presence::Starting;
}

bool LocalFeedService::WaitOnReadyEvent(bool clearStale) {
    EndWait(readyWait_);
    if (ready_) CloseHandle(ready_);
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, FALSE};
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kReadyAccess, SDDL_REVISION_1, &sd, nullptr))
        sa.lpSecurityDescriptor = sd;
    // Made here when no copy has made it yet, so the wait starts before the
    // service does.
    ready_ = CreateEventA(&sa, TRUE, FALSE, kReadyName);
    if (!ready_) ready_ = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kReadyName);
    if (sd) LocalFree(sd);
    if (!ready_) return false;
    // Left set by a copy that was killed while some card held the event.
    if (clearStale) ResetEvent(ready_);
    return RegisterWaitForSingleObject(&readyWait_, ready_, &LocalFeedService::ReadyFired, notify_, INFINITE,
                                       WT_EXECUTEONLYONCE) != 0;
}

bool LocalFeedService::Start() {
    const std::string exe = ExeFolder() + "\\" + kLocalServiceExe;
    const DWORD attributes = GetFileAttributesA(exe.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    EndWaits();
    WaitOnReadyEvent(true);
    std::string command = LocalServiceCommandLine(exe, GetCurrentProcessId());
    STARTUPINFOA start = {};
    start.cb = sizeof(start);
    start.dwFlags = STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        ExeFolder().c_str(), &start, &process)) {
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

void LocalFeedService::EndWaits() {
    EndWait(readyWait_);
    EndWait(processWait_);
    if (ready_) CloseHandle(ready_);
    ready_ = nullptr;
    if (process_) CloseHandle(process_);
    process_ = nullptr;
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
    pipe_ = CreateFileA(kCardPipeName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}
