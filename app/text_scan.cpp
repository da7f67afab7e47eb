#include "app/text_scan.h"

long Find(const std::string& s, long from, const std::string& what) {
    if (from < 1 || static_cast<size_t>(from - 1) > s.size()) return 0;
    size_t p = s.find(what, static_cast<size_t>(from - 1));
    return p == std::string::npos ? 0 : static_cast<long>(p) + 1;
}

std::string Cut(const std::string& s, long from, long to) {
    if (from < 1 || to <= from || static_cast<size_t>(from - 1) >= s.size()) return "";
    return s.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from));
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

std::string Unquote(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '"') out += c;
    return out;
}
