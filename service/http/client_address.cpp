#include "http/client_address.h"
#include "model/ascii.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool Trusted(const std::string& address, const std::vector<std::string>& trusted) {
    return std::find(trusted.begin(), trusted.end(), address) != trusted.end();
}

// Dotted decimal into four bytes: four parts of 1 to 3 digits, each at most 255.
bool ReadIpv4(const std::string& s, uint8_t* out) {
    int parts = 0, digits = 0, value = 0;
    for (char c : s + ".") {
        if (c == '.') {
            if (digits == 0 || value > 255 || parts == 4) return false;
            out[parts++] = static_cast<uint8_t>(value);
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

// Colon-separated hex groups ("" holds none) onto `out`; a dotted IPv4
// tail, two groups' worth, where `last`.
bool ReadGroups(const std::string& s, bool last, std::vector<uint16_t>& out) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t end = std::min(s.find(':', i), s.size());
        const std::string group = s.substr(i, end - i);
        if (last && end == s.size() && group.find('.') != std::string::npos) {
            uint8_t v4[4];
            if (!ReadIpv4(group, v4)) return false;
            out.push_back(static_cast<uint16_t>(v4[0] << 8 | v4[1]));
            out.push_back(static_cast<uint16_t>(v4[2] << 8 | v4[3]));
            break;
        }
        if (group.empty() || group.size() > 4) return false;
        uint16_t value = 0;
        for (char c : group) {
            if (HexDigitValue(c) < 0) return false;
            value = static_cast<uint16_t>(value << 4 | HexDigitValue(c));
        }
        out.push_back(value);
        if (end == s.size()) break;
        i = end + 1;
        if (i == s.size()) return false;  // a trailing colon
    }
    return out.size() <= 8;
}

// Hex groups with at most one "::" and an optional dotted IPv4 tail, into
// sixteen bytes.
bool ReadIpv6(const std::string& s, std::array<uint8_t, 16>& out) {
    if (s.size() < 2 || s.size() > 45) return false;
    const std::size_t gap = s.find("::");
    std::vector<uint16_t> head, tail;
    if (gap == std::string::npos) {
        if (!ReadGroups(s, true, head) || head.size() != 8) return false;
    } else if (!ReadGroups(s.substr(0, gap), false, head) || !ReadGroups(s.substr(gap + 2), true, tail) ||
               head.size() + tail.size() > 7) {
        return false;
    }
    std::vector<uint16_t> groups = head;
    groups.resize(8 - tail.size(), 0);
    groups.insert(groups.end(), tail.begin(), tail.end());
    for (std::size_t k = 0; k < 8; ++k) {
        out[2 * k] = static_cast<uint8_t>(groups[k] >> 8);
        out[2 * k + 1] = static_cast<uint8_t>(groups[k] & 0xff);
    }
    return true;
}

bool IsMappedIpv4(const std::array<uint8_t, 16>& b) {
    return std::all_of(b.begin(), b.begin() + 10, [](uint8_t x) { return x == 0; }) && b[10] == 0xff &&
           b[11] == 0xff;
}

// RFC 5952: lower-case hex without leading zeros, the longest run of two or
// more zero groups (the first of equals) as "::".
std::string Ipv6Text(const std::array<uint8_t, 16>& b) {
    uint16_t g[8];
    for (int k = 0; k < 8; ++k) g[k] = static_cast<uint16_t>(b[2 * k] << 8 | b[2 * k + 1]);
    int bestStart = -1, bestLength = 1;
    for (int k = 0; k < 8;) {
        int n = 0;
        while (k + n < 8 && g[k + n] == 0) ++n;
        if (n > bestLength) bestStart = k, bestLength = n;
        k += n ? n : 1;
    }
    std::string out;
    char buf[8];
    for (int k = 0; k < 8; ++k) {
        if (k == bestStart) {
            out += "::";
            k += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') out += ':';
        std::snprintf(buf, sizeof buf, "%x", g[k]);
        out += buf;
    }
    return out;
}

}  // namespace

bool IsIpv4Address(const std::string& s) {
    uint8_t bytes[4];
    return ReadIpv4(s, bytes);
}

bool IsIpv6Address(const std::string& s) {
    std::array<uint8_t, 16> bytes;
    return ReadIpv6(s, bytes);
}

std::string CanonicalAddress(const std::string& a) {
    uint8_t v4[4];
    std::array<uint8_t, 16> v6;
    char buf[16];
    if (ReadIpv4(a, v4)) {
        std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", v4[0], v4[1], v4[2], v4[3]);
        return buf;
    }
    if (!ReadIpv6(a, v6)) return std::string();
    if (IsMappedIpv4(v6)) {
        std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", v6[12], v6[13], v6[14], v6[15]);
        return buf;
    }
    return Ipv6Text(v6);
}

std::string PlainAddress(const std::string& a) {
    const std::string canonical = CanonicalAddress(a);
    return canonical.empty() ? AsciiLower(a) : canonical;
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
    const bool v4 = IsMappedIpv4(b);
    char buf[48];
    if (v4) {
        std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
    } else {
        std::snprintf(buf, sizeof buf, "%x:%x:%x:%x::/64", b[0] << 8 | b[1], b[2] << 8 | b[3], b[4] << 8 | b[5],
                      b[6] << 8 | b[7]);
    }
    return buf;
}
