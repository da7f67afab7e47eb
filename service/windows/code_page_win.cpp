// The card's code page on Windows (core/card_code_page.h): searches are
// read in the machine's ANSI code page, and a name is written in it when
// every one of its characters has an exact form there.
#include "windows/code_page_win.h"

#include <windows.h>

#include "documents/card_code_page.h"

namespace {

std::wstring Wide(unsigned codePage, const std::string& bytes, DWORD flags) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), &w[0], n);
    return w;
}

}  // namespace

unsigned CardCodePage() { return GetACP(); }

std::string CodePageToUtf8(unsigned codePage, const std::string& bytes) {
    if (codePage == CP_UTF8) return Utf8OrWindows1252(bytes);
    const std::wstring w = Wide(codePage, bytes, 0);
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool CodePageCharacters(unsigned codePage, const std::string& utf8, std::vector<std::string>& chars) {
    chars.clear();
    const std::wstring w = Wide(CP_UTF8, utf8, MB_ERR_INVALID_CHARS);
    if (w.empty() && !utf8.empty()) return false;
    for (std::size_t i = 0; i < w.size();) {
        // One character: a UTF-16 unit, or a surrogate pair.
        const int units = (w[i] >= 0xD800 && w[i] <= 0xDBFF && i + 1 < w.size()) ? 2 : 1;
        char buf[16];
        int n;
        if (codePage == CP_UTF8) {
            n = WideCharToMultiByte(CP_UTF8, 0, &w[i], units, buf, sizeof buf, nullptr, nullptr);
        } else {
            BOOL usedDefault = FALSE;
            n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &w[i], units, buf, sizeof buf, nullptr,
                                    &usedDefault);
            if (usedDefault) return false;
        }
        if (n <= 0) return false;
        chars.emplace_back(buf, static_cast<std::size_t>(n));
        i += static_cast<std::size_t>(units);
    }
    return true;
}

std::string CardBytesToUtf8(const std::string& bytes) { return CodePageToUtf8(CardCodePage(), bytes); }

bool CardCharacters(const std::string& utf8, std::vector<std::string>& chars) {
    return CodePageCharacters(CardCodePage(), utf8, chars);
}
