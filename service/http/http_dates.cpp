#include "http/http_dates.h"

#include <cstdio>
#include <cctype>

#include "model/feed_dates.h"

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kMaxRetryAfter = 86400;

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
        s[22] != ':' || s.compare(25, 4, " GMT") != 0 || !isdigit(static_cast<unsigned char>(s[23])) ||
        !isdigit(static_cast<unsigned char>(s[24])))
        return std::nullopt;
    int month = 0;
    for (int m = 0; m < 12; ++m) {
        if (s.compare(8, 3, kMonths[m]) == 0) month = m + 1;
    }
    if (month == 0) return std::nullopt;
    // The date and the clock to the minute as ISO text, read by the feed's own reader.
    char iso[24];
    std::snprintf(iso, sizeof iso, "%s-%02d-%sT%s", s.substr(12, 4).c_str(), month, s.substr(5, 2).c_str(),
                  s.substr(17, 5).c_str());
    const auto t = ReadIsoLocal(iso);
    const int second = (s[23] - '0') * 10 + (s[24] - '0');
    if (!t || second > 60) return std::nullopt;
    return UnixFromLocal(*t) + second;
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
