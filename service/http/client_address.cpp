#include "http/client_address.h"
#include "model/ascii.h"

#include <algorithm>
#include <cstdio>

namespace {

bool Trusted(const std::string& address, const std::vector<std::string>& trusted) {
    return std::find(trusted.begin(), trusted.end(), address) != trusted.end();
}

}  // namespace

bool IsIpv4Address(const std::string& s) {
    int parts = 0, digits = 0, value = 0;
    for (char c : s + ".") {
        if (c == '.') {
            if (digits == 0 || value > 255) return false;
            ++parts;
            digits = value = 0;
        } else if (c >= '0' && c <= '9' && digits < 3) {
            value = value * 10 + (c - '0');
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 4;
}

bool IsIpv6Address(const std::string& s) {
    if (s.size() < 2 || s.size() > 45 || s.find(':') == std::string::npos) return false;
    for (char c : s) {
        if (HexDigitValue(c) < 0 && c != ':' && c != '.') return false;
    }
    return true;
}

std::string PlainAddress(const std::string& a) {
    static const std::string kMapped = "::ffff:";
    std::string out = a;
    for (char& c : out)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (out.size() > kMapped.size() && out.compare(0, kMapped.size(), kMapped) == 0 &&
        out.find('.') != std::string::npos)
        return out.substr(kMapped.size());
    return out;
}

std::string ClientAddress(const std::string& peer, const std::string& forwardedFor,
                          const std::vector<std::string>& trustedProxies) {
    std::string client = PlainAddress(peer);
    if (!Trusted(client, trustedProxies)) return client;
    // From the end: each trusted proxy vouches for the entry before it.
    std::size_t end = forwardedFor.size();
    while (end > 0) {
        const std::size_t comma = forwardedFor.rfind(',', end - 1);
        const std::size_t start = comma == std::string::npos ? 0 : comma + 1;
        const std::string entry = AsciiTrim(forwardedFor.substr(start, end - start));
        if (!IsIpv4Address(entry) && !IsIpv6Address(entry)) break;
        client = PlainAddress(entry);
        if (!Trusted(client, trustedProxies)) break;
        if (comma == std::string::npos) break;
        end = comma;
    }
    return client;
}

std::string ConnectionKey(const std::array<uint8_t, 16>& b) {
    const bool v4 = std::all_of(b.begin(), b.begin() + 10, [](uint8_t x) { return x == 0; }) && b[10] == 0xff &&
                    b[11] == 0xff;
    char buf[48];
    if (v4) {
        std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
    } else {
        std::snprintf(buf, sizeof buf, "%x:%x:%x:%x::/64", b[0] << 8 | b[1], b[2] << 8 | b[3], b[4] << 8 | b[5],
                      b[6] << 8 | b[7]);
    }
    return buf;
}
