#include "core/http_dates.h"

#include <cstdio>
#include <cstring>

#include "core/feed_dates.h"

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kMaxRetryAfter = 86400;

bool Number(const std::string& s, std::size_t at, std::size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

std::string HttpDate(int64_t unixSeconds) {
    const LocalDateTime t = FromUnix(unixSeconds, 0);
    const int seconds = static_cast<int>(((unixSeconds % 60) + 60) % 60);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", WeekdayName(t).c_str(), t.day,
                  kMonths[t.month - 1], t.year, t.hour, t.minute, seconds);
    return buf;
}

std::optional<int64_t> ReadHttpDate(const std::string& s) {
    // "Tue, 08 Dec 2026 09:50:01 GMT": 29 characters.
    if (s.size() != 29 || s.compare(3, 2, ", ") != 0 || s[7] != ' ' || s[11] != ' ' || s[16] != ' ' ||
        s[19] != ':' || s[22] != ':' || s.compare(25, 4, " GMT") != 0)
        return std::nullopt;
    LocalDateTime t;
    int second = 0;
    if (!Number(s, 5, 2, t.day) || !Number(s, 12, 4, t.year) || !Number(s, 17, 2, t.hour) ||
        !Number(s, 20, 2, t.minute) || !Number(s, 23, 2, second) || t.hour > 23 || t.minute > 59 || second > 60)
        return std::nullopt;
    t.month = 0;
    for (int m = 0; m < 12; ++m) {
        if (s.compare(8, 3, kMonths[m]) == 0) t.month = m + 1;
    }
    char iso[16];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", t.year, t.month, t.day);
    if (t.month == 0 || !ReadIsoLocal(iso)) return std::nullopt;
    return UnixFromLocal(t) + second;
}

int ReadRetryAfter(const std::string& value, int64_t nowUnix) {
    std::size_t b = 0, e = value.size();
    while (b < e && value[b] == ' ') ++b;
    while (e > b && value[e - 1] == ' ') --e;
    const std::string v = value.substr(b, e - b);
    if (v.empty()) return 0;
    if (v.find_first_not_of("0123456789") == std::string::npos) {
        if (v.size() > 6) return kMaxRetryAfter;
        const int n = std::stoi(v);
        return n > kMaxRetryAfter ? kMaxRetryAfter : n;
    }
    const auto at = ReadHttpDate(v);
    if (!at || *at <= nowUnix) return 0;
    return *at - nowUnix > kMaxRetryAfter ? kMaxRetryAfter : static_cast<int>(*at - nowUnix);
}
