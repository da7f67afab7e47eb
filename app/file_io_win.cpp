#include "app/wide_path_win.h"

#include "app/file_io.h"

FileRead ReadFileStart(const std::string& path, size_t maxBytes, std::string& text) {
    text.clear();
    HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

namespace {
FileWrite CauseOf(DWORD error) {
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return FileWrite::InUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NOT_READY: return FileWrite::FolderNotWritable;
    case ERROR_PATH_NOT_FOUND: return FileWrite::FolderMissing;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileWrite::DiskFull;
    default: return FileWrite::Failed;
    }
}
}  // namespace

FileWrite ReplaceFileWith(const std::string& path, const std::string& text) {
    const WideText target(path);
    const WideText temp(path + ".new");
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return CauseOf(GetLastError());
    DWORD error = 0;
    DWORD put = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &put, nullptr)) error = GetLastError();
    else if (put != text.size()) error = ERROR_DISK_FULL;
    if (!FlushFileBuffers(file) && error == 0) error = GetLastError();
    if (!CloseHandle(file) && error == 0) error = GetLastError();
    // rename() on Windows refuses an existing target. Replacing a file that
    // another program holds open fails here, with a sharing violation or,
    // for a file held without delete sharing, access denied: the folder
    // took the new file, so the file itself is what is held.
    if (error == 0) {
        if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return FileWrite::Written;
        error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = GetFileAttributesW(target.c_str());
            const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
            if (!readOnly) error = ERROR_SHARING_VIOLATION;
        }
    }
    DeleteFileW(temp.c_str());
    return CauseOf(error);
}

bool CanReplaceFile(const std::string& path) {
    const WideText target(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    // Rights on a folder are only known by trying: a file made and gone at once.
    HANDLE probe = CreateFileW(WideText(path + ".new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return true;
}

std::string UnicodeToAnsi(const std::string& utf16) {
    if (utf16.size() < 2) return std::string();
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(utf16.data());
    const int count = static_cast<int>(utf16.size() / 2);
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, count, &out[0], n, nullptr, nullptr);
    return out;
}
