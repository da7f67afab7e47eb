// The state folder's file operations on Windows (core/state_store.h): the
// new file is flushed, then moved over the old one in one step.
#include <windows.h>

#include <string>

#include "state/state_store.h"

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
    if (CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    error = WindowsError(GetLastError());
    return false;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string temp = path + ".new";
    HANDLE f = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        error = WindowsError(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(f);
    DWORD code = ok ? 0 : GetLastError();
    CloseHandle(f);
    if (ok && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) {
        error = WindowsError(code ? code : ERROR_DISK_FULL);
        DeleteFileA(temp.c_str());
    }
    return ok;
}
