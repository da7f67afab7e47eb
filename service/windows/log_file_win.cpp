#include "windows/log_file_win.h"

#include <windows.h>

#include "windows/wide_path_win.h"

LogFile::LogFile(const std::string& path, LogCap cap) : cap_(cap) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    file_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
}

LogFile::~LogFile() {
    if (file_) CloseHandle(file_);
}

void LogFile::Write(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return;
    // Another copy of the program may have appended meanwhile: write at the end.
    LARGE_INTEGER size{};
    SetFilePointerEx(file_, LARGE_INTEGER{}, &size, FILE_END);
    DWORD written = 0;
    WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (static_cast<std::size_t>(size.QuadPart) + written > cap_.cap) Trim();
}

void LogFile::Trim() {
    LARGE_INTEGER size{};
    GetFileSizeEx(file_, &size);
    const LONGLONG keep = static_cast<LONGLONG>(cap_.keep) < size.QuadPart ? static_cast<LONGLONG>(cap_.keep)
                                                                             : size.QuadPart;
    LARGE_INTEGER from{};
    from.QuadPart = size.QuadPart - keep;
    std::string tail(static_cast<std::size_t>(keep), '\0');
    DWORD got = 0;
    SetFilePointerEx(file_, from, nullptr, FILE_BEGIN);
    if (!ReadFile(file_, &tail[0], static_cast<DWORD>(keep), &got, nullptr)) return;
    tail.resize(got);
    const std::string kept = KeptLogTail(tail);
    SetFilePointerEx(file_, LARGE_INTEGER{}, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(file_, kept.data(), static_cast<DWORD>(kept.size()), &written, nullptr);
    SetEndOfFile(file_);
}
