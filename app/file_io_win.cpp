#include <windows.h>

#include "app/file_io.h"

FileRead ReadFileStart(const std::string& path, size_t maxBytes, std::string& text) {
    text.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Missing
                                                                               : FileRead::Unreadable;
    }
    text.resize(maxBytes);
    DWORD got = 0;
    const BOOL ok = ReadFile(file, &text[0], static_cast<DWORD>(maxBytes), &got, nullptr);
    CloseHandle(file);
    if (!ok) {
        text.clear();
        return FileRead::Unreadable;
    }
    text.resize(got);
    return FileRead::Read;
}

bool ReplaceFileWith(const std::string& path, const std::string& text) {
    const std::string temp = path + ".new";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) && put == text.size();
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    // rename() on Windows refuses an existing target.
    if (ok && MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileA(temp.c_str());
    return false;
}
