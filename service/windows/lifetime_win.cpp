#include "windows/lifetime_win.h"

#include <windows.h>

#include <thread>

bool ClaimSingleInstance() {
    // "Global\": one per machine, across the users' sessions. The handle
    // stays open until the process ends, whichever way it ends.
    HANDLE m = CreateMutexA(nullptr, FALSE, "Global\\CloudwickFeedService");
    if (!m) return false;  // access denied: another user's copy holds it
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(m);
        return false;
    }
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
