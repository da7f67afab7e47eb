#pragma once
// Dates and times in the spellings of the old weather feed.
#include <cstdint>
#include <optional>
#include <string>

struct LocalDateTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0;
};

// Reads "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM" (as Open-Meteo writes local
// times); nothing when the text is not a real date.
std::optional<LocalDateTime> ReadIsoLocal(const std::string& text);

// The civil date and time `unixSeconds + offsetSeconds` after the epoch.
LocalDateTime FromUnix(int64_t unixSeconds, int offsetSeconds);

// Seconds since the epoch of `t` read as UTC.
int64_t UnixFromLocal(const LocalDateTime& t);

// "YYYY-MM-DDTHH:MM" for the time above.
std::string IsoLocal(const LocalDateTime& t);

// "Tue, 08 Dec 2026 9:50 am CET": day zero-padded, hour not.
std::string FeedDateTime(const LocalDateTime& t, const std::string& zone);

// "8 Dec 2026": day not padded.
std::string FeedDate(const LocalDateTime& t);

// "7:24 am".
std::string FeedClock(const LocalDateTime& t);

// "Tue".
std::string WeekdayName(const LocalDateTime& t);

// The calendar day `days` after `t` (time of day kept).
LocalDateTime AddDays(const LocalDateTime& t, int days);
