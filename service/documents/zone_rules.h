#pragma once
// Time-zone abbreviations from the system's time-zone data. Every TZif file
// (version 2 and later) ends with a POSIX TZ rule string such as
// "CET-1CEST,M3.5.0,M10.5.0/3": the zone's abbreviations, offsets and
// daylight-saving rule for all dates after its last listed change. The
// platform hands the core that string (SystemZoneRule); this reads it.
#include <cstdint>
#include <optional>
#include <string>

// The day and local time of one daylight-saving change.
struct ZoneChange {
    enum Kind { MonthWeekDay, JulianNoLeap, JulianZeroBased } kind = MonthWeekDay;
    int month = 0, week = 0, weekday = 0;  // Mm.w.d: day d (0 Sunday) of week w (5: the last) of month m
    int day = 0;                           // Jn (1..365, 29 February never counted) or n (0..365)
    int seconds = 7200;                    // local time of the change, -167 h to 167 h
};

struct ZoneRule {
    std::string standardName;  // "CET"; "+04" for a zone without letters
    int standardOffset = 0;    // seconds east of UTC (POSIX writes them west: "CET-1")
    bool hasDst = false;
    std::string dstName;
    int dstOffset = 0;
    ZoneChange dstStart, dstEnd;
};

// Reads a POSIX TZ rule string (the TZif footer's form, with the RFC 8536
// extensions); nothing when the text is not one.
std::optional<ZoneRule> ReadZoneRule(const std::string& text);

struct ZoneState {
    std::string abbreviation;
    int offsetSeconds = 0;
    bool dst = false;
};

// The zone's abbreviation and offset at `unixSeconds`.
ZoneState ZoneAt(const ZoneRule& rule, int64_t unixSeconds);

// "GMT", "GMT+8", "GMT-3", "GMT+5:30", "GMT+12:45".
std::string GmtOffsetText(int offsetSeconds);

// The zone text written after a time in the documents: the abbreviation of
// `ianaZone` at `unixSeconds` ("CST", "CDT", "AEDT", "IST") from the
// system's data, or the GMT offset form where the zone has no letters
// ("+04"), the zone is unknown, or the data's offset disagrees with
// `utcOffsetSeconds`, the source's own offset for that moment.
std::string ZoneText(const std::string& ianaZone, int64_t unixSeconds, int utcOffsetSeconds);

// Supplied by the platform layer: the POSIX TZ rule of an IANA zone name
// ("Europe/Berlin"), "" when unknown. Linux reads the footer of the
// system's TZif file; Windows looks it up in a table made from the build
// machine's files.
std::string SystemZoneRule(const std::string& ianaZone);

// True for a name that may be looked up: letters, digits and "/_-+" only,
// parts separated by single slashes, no part starting with a dot.
bool IsZoneName(const std::string& name);
