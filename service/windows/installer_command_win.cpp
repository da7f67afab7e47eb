#include "windows/installer_command_win.h"

#include <tlhelp32.h>

#include <cwchar>

namespace {

const wchar_t kCardClass[] = L"CloudwickCard";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Cloudwick";
// How long cards get to save and close, and services to follow them,
// before they are ended.
const DWORD kCardWaitMs = 10000;
const DWORD kServiceWaitMs = 10000;
const int kMaxProcesses = 64;
// Left by --upgrading for the old version's removal that follows.
const wchar_t kUpgradeMark[] = L"cloudwick-upgrade.mark";

// The last word of the command line (after the program's own name).
const wchar_t* Argument(const wchar_t* line) {
    if (!line) return L"";
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

bool SameArgument(const wchar_t* arg, const wchar_t* word) {
    const size_t n = std::wcslen(word);
    if (_wcsnicmp(arg, word, n) != 0) return false;
    for (const wchar_t* p = arg + n; *p; ++p)
        if (*p != L' ' && *p != L'\t') return false;
    return true;
}

// This exe's folder, with no trailing backslash; empty when Windows does not say.
bool OwnFolder(wchar_t* folder, DWORD size) {
    const DWORD n = GetModuleFileNameW(nullptr, folder, size);
    if (n == 0 || n >= size) return false;
    wchar_t* slash = std::wcsrchr(folder, L'\\');
    if (!slash) return false;
    *slash = 0;
    return true;
}

struct Process {
    DWORD id;
    HANDLE handle;
    bool card;
};

struct Ours {
    Process items[kMaxProcesses];
    int count = 0;
};

typedef BOOL(WINAPI* QueryImageName)(HANDLE, DWORD, LPWSTR, PDWORD);

// Every other process whose exe lies in `folder`: the cards and the services
// started from this copy, and no one else's.
void FindOurs(const wchar_t* folder, Ours& ours) {
    // QueryFullProcessImageNameW is Vista's; the limited query right works on
    // processes of other integrity levels too.
    const QueryImageName query = reinterpret_cast<QueryImageName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
    if (!query) return;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    const size_t folderLength = std::wcslen(folder);
    for (BOOL more = Process32FirstW(snap, &entry); more && ours.count < kMaxProcesses;
         more = Process32NextW(snap, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || entry.th32ProcessID == 0) continue;
        HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE,
                               entry.th32ProcessID);
        if (!h) continue;
        wchar_t image[MAX_PATH * 4];
        DWORD size = sizeof image / sizeof image[0];
        const bool inFolder = query(h, 0, image, &size) && size > folderLength && image[folderLength] == L'\\' &&
                              _wcsnicmp(image, folder, folderLength) == 0 &&
                              !std::wcschr(image + folderLength + 1, L'\\');
        if (!inFolder) {
            CloseHandle(h);
            continue;
        }
        Process& p = ours.items[ours.count++];
        p.id = entry.th32ProcessID;
        p.handle = h;
        p.card = _wcsicmp(image + folderLength + 1, L"Cloudwick.exe") == 0;
    }
    CloseHandle(snap);
}

struct CloseRequest {
    const Ours* ours;
    int asked;
};

BOOL CALLBACK AskToClose(HWND hwnd, LPARAM param) {
    CloseRequest* request = reinterpret_cast<CloseRequest*>(param);
    wchar_t name[64];
    if (!GetClassNameW(hwnd, name, 64) || std::wcscmp(name, kCardClass) != 0) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    for (int i = 0; i < request->ours->count; ++i)
        if (request->ours->items[i].id == pid && request->ours->items[i].card) {
            // As "Exit" does: the card saves its settings and ends, and its
            // service follows it.
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            ++request->asked;
        }
    return TRUE;
}

// Waits for the processes of one kind; those still running after `ms` are ended.
bool WaitOrEnd(Ours& ours, bool cards, DWORD ms) {
    HANDLE handles[kMaxProcesses];
    int n = 0;
    for (int i = 0; i < ours.count; ++i)
        if (ours.items[i].card == cards) handles[n++] = ours.items[i].handle;
    if (n == 0) return true;
    if (WaitForMultipleObjects(n, handles, TRUE, ms) != WAIT_TIMEOUT) return true;
    bool ended = true;
    for (int i = 0; i < n; ++i)
        if (WaitForSingleObject(handles[i], 0) == WAIT_TIMEOUT) {
            TerminateProcess(handles[i], 1);
            ended = WaitForSingleObject(handles[i], 5000) == WAIT_OBJECT_0 && ended;
        }
    return ended;
}

bool EndOurProcesses(const wchar_t* folder) {
    Ours ours;
    FindOurs(folder, ours);
    CloseRequest request = {&ours, 0};
    EnumWindows(AskToClose, reinterpret_cast<LPARAM>(&request));
    bool ok = WaitOrEnd(ours, true, kCardWaitMs);
    ok = WaitOrEnd(ours, false, kServiceWaitMs) && ok;
    for (int i = 0; i < ours.count; ++i) CloseHandle(ours.items[i].handle);
    return ok;
}

// The Run value under `root` when it starts this exe (quoted or not).
void RemoveOurRunValue(HKEY root, const wchar_t* exe) {
    HKEY key;
    if (RegOpenKeyExW(root, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    wchar_t data[MAX_PATH * 4 + 4];
    DWORD type = 0, size = sizeof data - sizeof data[0];
    if (RegQueryValueExW(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        data[size / sizeof data[0]] = 0;
        const wchar_t* path = data;
        size_t length = std::wcslen(data);
        if (length >= 2 && data[0] == L'"' && data[length - 1] == L'"') {
            ++path;
            length -= 2;
        }
        if (length == std::wcslen(exe) && _wcsnicmp(path, exe, length) == 0) RegDeleteValueW(key, kRunValue);
    }
    RegCloseKey(key);
}

void Join(wchar_t* out, size_t size, const wchar_t* folder, const wchar_t* name) {
    _snwprintf(out, size, L"%ls\\%ls", folder, name);
    out[size - 1] = 0;
}

// A folder and everything in it (the service's state holds files only).
void RemoveTree(const wchar_t* path) {
    wchar_t pattern[MAX_PATH * 4];
    Join(pattern, MAX_PATH * 4, path, L"*");
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0) continue;
            wchar_t item[MAX_PATH * 4];
            Join(item, MAX_PATH * 4, path, found.cFileName);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(item);
            } else {
                SetFileAttributesW(item, FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(item);
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path);
}

// What the programs write in a folder of theirs.
void RemoveWrittenFiles(const wchar_t* folder, bool settingsToo) {
    static const wchar_t* const kFiles[] = {L"cloudwick-feed.log", L"cloudwick-feed.log.old", L"cloudwick-feed.log.new"};
    // The card's settings and the service's options an administrator put there.
    static const wchar_t* const kSettings[] = {L"cloudwick.conf", L"cloudwick.conf.new", L"cloudwick-feed.conf"};
    wchar_t path[MAX_PATH * 4];
    for (const wchar_t* name : kFiles) {
        Join(path, MAX_PATH * 4, folder, name);
        DeleteFileW(path);
    }
    if (settingsToo)
        for (const wchar_t* name : kSettings) {
            Join(path, MAX_PATH * 4, folder, name);
            DeleteFileW(path);
        }
    Join(path, MAX_PATH * 4, folder, L"cloudwick-feed-state");
    RemoveTree(path);
}

}  // namespace

bool RunInstallerCommand(const wchar_t* commandLine, int& exitCode) {
    const wchar_t* arg = Argument(commandLine);
    const bool uninstall = SameArgument(arg, L"--uninstall");
    const bool upgrading = SameArgument(arg, L"--upgrading");
    if (!uninstall && !upgrading && !SameArgument(arg, L"--close")) return false;
    wchar_t folder[MAX_PATH * 4];
    if (!OwnFolder(folder, MAX_PATH * 4)) {
        exitCode = 1;
        return true;
    }
    exitCode = EndOurProcesses(folder) ? 0 : 1;
    wchar_t mark[MAX_PATH * 4];
    Join(mark, MAX_PATH * 4, folder, kUpgradeMark);
    if (upgrading) {
        HANDLE f = CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        return true;
    }
    if (!uninstall) return true;
    // The removal of the old version in an upgrade: the new package said so
    // (Windows also tells the removal itself; Wine does not).
    if (DeleteFileW(mark)) return true;

    wchar_t exe[MAX_PATH * 4];
    Join(exe, MAX_PATH * 4, folder, L"Cloudwick.exe");
    RemoveOurRunValue(HKEY_CURRENT_USER, exe);
    RemoveOurRunValue(HKEY_LOCAL_MACHINE, exe);
    RemoveWrittenFiles(folder, true);
    // Where the service keeps its log and state when the program's folder
    // cannot be written (an install for all users); the settings in
    // %APPDATA%\Cloudwick are the user's and stay.
    wchar_t local[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH * 3);
    if (n > 0 && n < MAX_PATH * 3) {
        wchar_t ours[MAX_PATH * 4];
        Join(ours, MAX_PATH * 4, local, L"Cloudwick");
        RemoveWrittenFiles(ours, false);
        RemoveDirectoryW(ours);  // only when nothing else is left there
    }
    return true;
}
