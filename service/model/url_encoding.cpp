#include "model/url_encoding.h"

#include "model/ascii.h"

std::string PercentDecoded(const std::string& in, Plus plus, bool* wellFormed) {
    std::string out;
    out.reserve(in.size());
    bool allEscapesRead = true;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int hi = in[i] == '%' && i + 1 < in.size() ? HexDigitValue(in[i + 1]) : -1;
        const int lo = hi >= 0 && i + 2 < in.size() ? HexDigitValue(in[i + 2]) : -1;
        if (in[i] == '+' && plus == Plus::IsSpace) {
            out += ' ';
        } else if (lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            allEscapesRead = allEscapesRead && in[i] != '%';
            out += in[i];
        }
    }
    if (wellFormed) *wellFormed = allEscapesRead;
    return out;
}

std::string UrlEncode(const std::string& s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}
