#include "model/feed_dates.h"

#include <cstdio>

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

bool Digits(const std::string& s, std::size_t at, std::size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<LocalDateTime> ReadIsoLocal(const std::string& text) {
    LocalDateTime t;
    if (text.size() != 10 && text.size() != 16) return std::nullopt;
    if (!Digits(text, 0, 4, t.year) || text[4] != '-' || !Digits(text, 5, 2, t.month) || text[7] != '-' ||
        !Digits(text, 8, 2, t.day))
        return std::nullopt;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return std::nullopt;
    if (text.size() == 16) {
        if (text[10] != 'T' || !Digits(text, 11, 2, t.hour) || text[13] != ':' || !Digits(text, 14, 2, t.minute))
            return std::nullopt;
        if (t.hour > 23 || t.minute > 59) return std::nullopt;
    }
    return t;
}

LocalDateTime FromUnix(int64_t unixSeconds, int offsetSeconds) {
    const int64_t s = unixSeconds + offsetSeconds;
    int64_t days = s / 86400;
    int64_t rest = s % 86400;
    if (rest < 0) { rest += 86400; --days; }
    LocalDateTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    return t;
}

int64_t UnixFromLocal(const LocalDateTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60;
}

std::string IsoLocal(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return buf;
}

std::string WeekdayName(const LocalDateTime& t) {
    const int64_t days = DaysFromCivil(t.year, t.month, t.day);
    return kWeekdays[((days % 7) + 11) % 7];  // 1970-01-01 was a Thursday
}

std::string FeedClock(const LocalDateTime& t) {
    const int h12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d:%02d %s", h12, t.minute, t.hour < 12 ? "am" : "pm");
    return buf;
}

std::string FeedDateTime(const LocalDateTime& t, const std::string& zone) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d ", WeekdayName(t).c_str(), t.day, kMonths[t.month - 1], t.year);
    std::string out = buf + FeedClock(t);
    if (!zone.empty()) out += " " + zone;
    return out;
}

std::string FeedDate(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d %s %04d", t.day, kMonths[t.month - 1], t.year);
    return buf;
}

LocalDateTime AddDays(const LocalDateTime& t, int days) {
    LocalDateTime r = t;
    CivilFromDays(DaysFromCivil(t.year, t.month, t.day) + days, r.year, r.month, r.day);
    return r;
}
