#include "model/url_encoding.h"

#include "model/ascii.h"

std::string LenientPercentDecode(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int hi = in[i] == '%' && i + 1 < in.size() ? HexDigitValue(in[i + 1]) : -1;
        const int lo = hi >= 0 && i + 2 < in.size() ? HexDigitValue(in[i + 2]) : -1;
        if (in[i] == '+') {
            out += ' ';
        } else if (lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

bool PercentDecode(const std::string& in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            const int hi = i + 1 < in.size() ? HexDigitValue(in[i + 1]) : -1;
            const int lo = i + 2 < in.size() ? HexDigitValue(in[i + 2]) : -1;
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return true;
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
