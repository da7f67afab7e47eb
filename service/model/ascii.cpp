#include "model/ascii.h"

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string AsciiTrim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && IsAsciiSpace(s[a])) ++a;
    while (b > a && IsAsciiSpace(s[b - 1])) --b;
    return s.substr(a, b - a);
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLower(std::string s) {
    for (char& c : s) c = AsciiLower(c);
    return s;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
