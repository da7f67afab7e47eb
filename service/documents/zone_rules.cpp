#include "documents/zone_rules.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "model/feed_dates.h"

namespace {

class Reader {
public:
    explicit Reader(const std::string& s) : s_(s) {}
    bool AtEnd() const { return i_ >= s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++i_;
        return true;
    }

    // "CET" (three or more letters) or "<+0545>" (letters, digits, + and -).
    bool Name(std::string& out) {
        out.clear();
        if (Take('<')) {
            while (!AtEnd() && Peek() != '>') {
                const char c = s_[i_++];
                if (!isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-') return false;
                out += c;
            }
            return Take('>') && out.size() >= 3 && out.size() <= 16;
        }
        while (isalpha(static_cast<unsigned char>(Peek()))) out += s_[i_++];
        return out.size() >= 3 && out.size() <= 16;
    }

    bool Number(int lo, int hi, int& out) {
        if (!isdigit(static_cast<unsigned char>(Peek()))) return false;
        long v = 0;
        while (isdigit(static_cast<unsigned char>(Peek())) && v <= 100000) v = v * 10 + (s_[i_++] - '0');
        if (v < lo || v > hi) return false;
        out = static_cast<int>(v);
        return true;
    }

    // [+-]hh[:mm[:ss]] in seconds; hours up to `maxHours`.
    bool Duration(int maxHours, int& seconds) {
        const int sign = Take('-') ? -1 : (Take('+'), 1);
        int h = 0, m = 0, sec = 0;
        if (!Number(0, maxHours, h)) return false;
        if (Take(':') && (!Number(0, 59, m) || (Take(':') && !Number(0, 59, sec)))) return false;
        seconds = sign * (h * 3600 + m * 60 + sec);
        return true;
    }

    bool Change(ZoneChange& c) {
        if (Take('M')) {
            c.kind = ZoneChange::MonthWeekDay;
            if (!Number(1, 12, c.month) || !Take('.') || !Number(1, 5, c.week) || !Take('.') ||
                !Number(0, 6, c.weekday))
                return false;
        } else if (Take('J')) {
            c.kind = ZoneChange::JulianNoLeap;
            if (!Number(1, 365, c.day)) return false;
        } else {
            c.kind = ZoneChange::JulianZeroBased;
            if (!Number(0, 365, c.day)) return false;
        }
        c.seconds = 7200;
        return !Take('/') || Duration(167, c.seconds);
    }

private:
    const std::string& s_;
    std::size_t i_ = 0;
};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int64_t DayNumber(int y, int m, int d) {
    LocalDateTime t;
    t.year = y;
    t.month = m;
    t.day = d;
    return UnixFromLocal(t) / 86400;
}

int DaysIn(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since the epoch of the change's day in year `y`.
int64_t ChangeDay(const ZoneChange& c, int y) {
    const int64_t jan1 = DayNumber(y, 1, 1);
    switch (c.kind) {
        case ZoneChange::JulianZeroBased: return jan1 + c.day;
        case ZoneChange::JulianNoLeap: return jan1 + c.day - 1 + (IsLeap(y) && c.day >= 60 ? 1 : 0);
        case ZoneChange::MonthWeekDay: break;
    }
    const int64_t first = DayNumber(y, c.month, 1);
    const int firstWeekday = static_cast<int>(((first % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    int day = 1 + (c.weekday - firstWeekday + 7) % 7 + (c.week - 1) * 7;
    while (day > DaysIn(y, c.month)) day -= 7;
    return first + day - 1;
}

bool NumericName(const std::string& name) {
    return !name.empty() && (name[0] == '+' || name[0] == '-' || isdigit(static_cast<unsigned char>(name[0])));
}

}  // namespace

std::optional<ZoneRule> ReadZoneRule(const std::string& text) {
    Reader r(text);
    ZoneRule z;
    int west = 0;
    if (!r.Name(z.standardName) || !r.Duration(24, west)) return std::nullopt;
    z.standardOffset = -west;
    if (r.AtEnd()) return z;
    if (!r.Name(z.dstName)) return std::nullopt;
    z.hasDst = true;
    z.dstOffset = z.standardOffset + 3600;
    if (!r.AtEnd() && r.Peek() != ',') {
        if (!r.Duration(24, west)) return std::nullopt;
        z.dstOffset = -west;
    }
    // A rule without dates means the US rules of 2007 (POSIX leaves it to
    // the system; glibc and tzcode do the same).
    if (r.AtEnd()) {
        z.dstStart = {ZoneChange::MonthWeekDay, 3, 2, 0, 0, 7200};
        z.dstEnd = {ZoneChange::MonthWeekDay, 11, 1, 0, 0, 7200};
        return z;
    }
    if (!r.Take(',') || !r.Change(z.dstStart) || !r.Take(',') || !r.Change(z.dstEnd) || !r.AtEnd())
        return std::nullopt;
    return z;
}

ZoneState ZoneAt(const ZoneRule& z, int64_t unixSeconds) {
    const ZoneState standard{z.standardName, z.standardOffset, false};
    if (!z.hasDst) return standard;
    const ZoneState dst{z.dstName, z.dstOffset, true};
    // "DST all year": tzcode writes it as a change on 1 January 00:00 and
    // the other at the year's last moment plus the offset difference.
    const int year = FromUnix(unixSeconds, z.standardOffset).year;
    const int64_t start = ChangeDay(z.dstStart, year) * 86400 + z.dstStart.seconds - z.standardOffset;
    const int64_t end = ChangeDay(z.dstEnd, year) * 86400 + z.dstEnd.seconds - z.dstOffset;
    if (start < end) return unixSeconds >= start && unixSeconds < end ? dst : standard;
    return unixSeconds >= end && unixSeconds < start ? standard : dst;  // southern hemisphere
}

std::string GmtOffsetText(int offsetSeconds) {
    if (offsetSeconds == 0) return "GMT";
    const int a = std::abs(offsetSeconds);
    char buf[24];
    if (a % 3600 / 60 != 0)
        std::snprintf(buf, sizeof buf, "GMT%c%d:%02d", offsetSeconds < 0 ? '-' : '+', a / 3600, a % 3600 / 60);
    else
        std::snprintf(buf, sizeof buf, "GMT%c%d", offsetSeconds < 0 ? '-' : '+', a / 3600);
    return buf;
}

bool IsZoneName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    char prev = '/';
    for (char c : name) {
        const bool ok = isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '_' || c == '-' || c == '+' ||
                        (c == '.' && prev != '/');
        if (!ok || (c == '/' && prev == '/')) return false;
        prev = c;
    }
    return prev != '/';
}

std::string ZoneText(const std::string& ianaZone, int64_t unixSeconds, int utcOffsetSeconds) {
    if (IsZoneName(ianaZone)) {
        if (const auto rule = ReadZoneRule(SystemZoneRule(ianaZone))) {
            const ZoneState s = ZoneAt(*rule, unixSeconds);
            if (s.offsetSeconds == utcOffsetSeconds && !NumericName(s.abbreviation)) return s.abbreviation;
        }
    }
    return GmtOffsetText(utcOffsetSeconds);
}
