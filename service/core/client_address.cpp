#include "core/client_address.h"

namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Digits, hex letters, dots and colons, as IPv4 and IPv6 addresses are written.
bool LooksLikeAddress(const std::string& s) {
    if (s.empty() || s.size() > 45) return false;
    bool colon = false, dot = false;
    for (char c : s) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != '.' && c != ':') return false;
        colon |= c == ':';
        dot |= c == '.';
    }
    return colon || dot;
}

// "::ffff:192.0.2.1" (an IPv4 client on a dual-stack socket) is 192.0.2.1.
std::string Plain(const std::string& a) {
    static const std::string kMapped = "::ffff:";
    if (a.size() > kMapped.size() && a.compare(0, kMapped.size(), kMapped) == 0 &&
        a.find('.') != std::string::npos)
        return a.substr(kMapped.size());
    return a;
}

}  // namespace

std::string ClientAddress(const std::string& peer, const std::string& forwardedFor, bool trustProxy) {
    if (trustProxy) {
        const std::size_t comma = forwardedFor.rfind(',');
        const std::string last = Trim(comma == std::string::npos ? forwardedFor : forwardedFor.substr(comma + 1));
        if (LooksLikeAddress(last)) return Plain(last);
    }
    return Plain(peer);
}
