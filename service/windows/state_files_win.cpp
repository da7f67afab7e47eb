// The state folder's file operations on Windows (core/state_store.h): the
// new file is flushed, then moved over the old one in one step.
#include <windows.h>

#include <string>

#include "state/state_store.h"
#include "windows/wide_path_win.h"

namespace {

std::string WindowsError(DWORD code) {
    char buf[256] = "";
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                                   sizeof buf, nullptr);
    std::string s(buf, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s.empty() ? "Windows error " + std::to_string(code) : s;
}

}  // namespace

bool MakeStateFolder(const std::string& folder, std::string& error) {
    if (CreateDirectoryW(WidePath(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    error = WindowsError(GetLastError());
    return false;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string temp = path + ".new";
    HANDLE f = CreateFileW(WidePath(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        error = WindowsError(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(f);
    DWORD code = ok ? 0 : GetLastError();
    CloseHandle(f);
    if (ok && !MoveFileExW(WidePath(temp).c_str(), WidePath(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) {
        error = WindowsError(code ? code : ERROR_DISK_FULL);
        DeleteFileW(WidePath(temp).c_str());
    }
    return ok;
}

bool ReadFileContents(const std::string& path, std::size_t limit, std::string& out) {
    HANDLE f = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    out.clear();
    char buf[8192];
    DWORD got = 0;
    bool ok = true;
    while (out.size() <= limit) {
        if (!ReadFile(f, buf, sizeof buf, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        out.append(buf, got);
    }
    CloseHandle(f);
    return ok;
}
