#include "app/wide_path_win.h"

#include <shlobj.h>

WideText::WideText(const std::string& utf8) {
    const int bytes = static_cast<int>(utf8.size());
    const int n = bytes ? MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0) : 0;
    text_ = new wchar_t[static_cast<size_t>(n > 0 ? n : 0) + 1];
    if (n > 0) size_ = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, text_, n);
    text_[size_] = L'\0';
}

std::string Utf8FromWide(const wchar_t* text, int count) {
    if (count < 0) count = lstrlenW(text);
    const int n = count ? WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr) : 0;
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, count, &out[0], n, nullptr, nullptr);
    return out;
}

std::string ExePath() {
    // A path longer than the buffer is cut to it without an error on older
    // Windows: grow the buffer until the whole path fits (long paths too).
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        wchar_t* path = new wchar_t[size];
        const DWORD n = GetModuleFileNameW(nullptr, path, size);
        std::string out = n > 0 && n < size ? Utf8FromWide(path, static_cast<int>(n)) : std::string();
        delete[] path;
        if (n == 0 || n < size) return out;
    }
    return std::string();
}

std::string ExeFolder() {
    const std::string p = ExePath();
    const size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

namespace {
std::string KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return std::string();
    std::string out = Utf8FromWide(path);
    while (!out.empty() && (out.back() == '\\' || out.back() == '/')) out.pop_back();
    return out;
}
}  // namespace

std::string AppDataFolder() { return KnownFolder(CSIDL_APPDATA); }
std::string LocalAppDataFolder() { return KnownFolder(CSIDL_LOCAL_APPDATA); }

bool MakeFolder(const std::string& folder) {
    return CreateDirectoryW(WideText(folder).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
