// Zone abbreviations from the system's time-zone data, the POSIX TZ rules
// they come as, and the table built into the Windows program.
#include "documents/zone_rules.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <functional>

#include "model/feed_dates.h"
#include "documents/feed_document.h"
#include "documents/zone_table.h"

namespace {

int64_t Utc(const char* iso) {
    const auto t = ReadIsoLocal(iso);
    EXPECT_TRUE(t.has_value()) << iso;
    return UnixFromLocal(t.value_or(LocalDateTime{}));
}

// The documents' zone text at a UTC time, with the offset the source gives.
struct ZoneCase {
    const char* zone;
    const char* utc;
    int offsetSeconds;
    const char* text;
};

TEST(ZoneText, RealAbbreviationsForTheCardsPlaces) {
    const ZoneCase cases[] = {
        {"Asia/Shanghai", "2026-12-08T01:50", 8 * 3600, "CST"},         // was "GMT 8"
        {"Asia/Kolkata", "2026-12-08T04:20", 19800, "IST"},             // was "GMT 5 30"
        {"America/Chicago", "2026-12-08T15:50", -6 * 3600, "CST"},
        {"America/Chicago", "2026-07-08T15:50", -5 * 3600, "CDT"},
        {"Europe/Berlin", "2026-12-08T08:50", 3600, "CET"},
        {"Europe/Berlin", "2026-07-08T08:50", 7200, "CEST"},
        {"Australia/Sydney", "2026-12-08T00:00", 11 * 3600, "AEDT"},
        {"Australia/Sydney", "2026-07-08T00:00", 10 * 3600, "AEST"},
        {"Asia/Tokyo", "2026-12-08T00:50", 9 * 3600, "JST"},
        {"America/New_York", "2013-01-07T15:49", -5 * 3600, "EST"},
        {"Europe/London", "2026-12-08T09:50", 0, "GMT"},
        {"Europe/London", "2026-07-08T09:50", 3600, "BST"},
        {"Europe/Dublin", "2026-07-08T09:50", 3600, "IST"},  // Irish time: winter is the "daylight" part
        {"Europe/Dublin", "2026-12-08T09:50", 0, "GMT"},
        // Zones whose data has no letters: the offset, never "+04".
        {"Asia/Dubai", "2026-12-08T09:50", 4 * 3600, "GMT+4"},
        {"Asia/Kathmandu", "2026-12-08T09:50", 20700, "GMT+5:45"},
        {"America/Sao_Paulo", "2026-12-08T09:50", -3 * 3600, "GMT-3"},
        // Unknown or unusable names, and data that disagrees with the source.
        {"Mars/Olympus_Mons", "2026-12-08T09:50", 8 * 3600, "GMT+8"},
        {"../../etc/passwd", "2026-12-08T09:50", -9 * 3600 - 1800, "GMT-9:30"},
        {"", "2026-12-08T09:50", 0, "GMT"},
        {"Europe/Berlin", "2026-12-08T08:50", -6 * 3600, "GMT-6"},
    };
    for (const ZoneCase& c : cases) {
        EXPECT_EQ(ZoneText(c.zone, Utc(c.utc), c.offsetSeconds), c.text) << c.zone << " at " << c.utc;
    }
}

TEST(ZoneText, SwitchesAtTheMomentsOfTheDaylightSavingChanges) {
    // Chicago: 2026-03-08 02:00 CST = 08:00 UTC; 2026-11-01 02:00 CDT = 07:00 UTC.
    const auto at = [](const char* zone, const char* utc) {
        const auto rule = ReadZoneRule(SystemZoneRule(zone));
        EXPECT_TRUE(rule.has_value()) << zone;
        return rule ? ZoneAt(*rule, Utc(utc)).abbreviation : "";
    };
    EXPECT_EQ(at("America/Chicago", "2026-03-08T07:59"), "CST");
    EXPECT_EQ(at("America/Chicago", "2026-03-08T08:00"), "CDT");
    EXPECT_EQ(at("America/Chicago", "2026-11-01T06:59"), "CDT");
    EXPECT_EQ(at("America/Chicago", "2026-11-01T07:00"), "CST");
    // Berlin: last Sundays of March and October at 01:00 UTC.
    EXPECT_EQ(at("Europe/Berlin", "2026-03-29T00:59"), "CET");
    EXPECT_EQ(at("Europe/Berlin", "2026-03-29T01:00"), "CEST");
    EXPECT_EQ(at("Europe/Berlin", "2026-10-25T00:59"), "CEST");
    EXPECT_EQ(at("Europe/Berlin", "2026-10-25T01:00"), "CET");
    // Sydney, south of the equator: summer time across the new year.
    EXPECT_EQ(at("Australia/Sydney", "2026-04-04T15:59"), "AEDT");  // 03:00 AEDT on 5 April
    EXPECT_EQ(at("Australia/Sydney", "2026-04-04T16:00"), "AEST");
    EXPECT_EQ(at("Australia/Sydney", "2026-10-03T15:59"), "AEST");  // 02:00 AEST on 4 October
    EXPECT_EQ(at("Australia/Sydney", "2026-10-03T16:00"), "AEDT");
    EXPECT_EQ(at("Australia/Sydney", "2027-01-01T00:00"), "AEDT");
}

TEST(ZoneRule, ReadsTheFormsTheTzifFootersUse) {
    auto r = ReadZoneRule("IST-5:30");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->standardName, "IST");
    EXPECT_EQ(r->standardOffset, 19800);
    EXPECT_FALSE(r->hasDst);

    r = ReadZoneRule("<-04>4<-03>,M9.1.6/24,M4.1.6/24");  // Santiago: changes at 24:00
    ASSERT_TRUE(r);
    EXPECT_EQ(r->standardName, "-04");
    EXPECT_EQ(r->dstName, "-03");
    EXPECT_EQ(r->dstOffset, -3 * 3600);
    EXPECT_EQ(r->dstStart.seconds, 24 * 3600);

    r = ReadZoneRule("<-02>2<-01>,M3.5.0/-1,M10.5.0/0");  // Nuuk: a negative time of day
    ASSERT_TRUE(r);
    EXPECT_EQ(r->dstStart.seconds, -3600);

    r = ReadZoneRule("EST5EDT");  // no dates: the US rules
    ASSERT_TRUE(r);
    EXPECT_EQ(ZoneAt(*r, Utc("2026-07-01T12:00")).abbreviation, "EDT");

    r = ReadZoneRule("XST3XDT,J60/2,300");  // Julian days, 29 February never counted, and zero-based
    ASSERT_TRUE(r);
    EXPECT_EQ(ZoneAt(*r, Utc("2024-03-01T04:59")).abbreviation, "XST");  // J60 is 1 March in leap years too
    EXPECT_EQ(ZoneAt(*r, Utc("2024-03-01T05:00")).abbreviation, "XDT");
    EXPECT_EQ(ZoneAt(*r, Utc("2024-10-27T03:59")).abbreviation, "XDT");  // day 300 of 2024 is 27 October
    EXPECT_EQ(ZoneAt(*r, Utc("2024-10-27T04:00")).abbreviation, "XST");

    for (const char* bad : {"", "CE", "CET", "CET-1CEST,M3.5.0", "CET-1CEST,M13.5.0,M10.5.0", "CET-1CEST,M3.6.0,M10.5.0",
                            "<+04", "<>-4", "CET-25", "CET-1CEST,M3.5.0/168,M10.5.0", "CET-1 ", "CET-1CEST,J0,J365"}) {
        EXPECT_FALSE(ReadZoneRule(bad).has_value()) << bad;
    }
}

TEST(ZoneRule, GmtOffsetSpellings) {
    EXPECT_EQ(GmtOffsetText(0), "GMT");
    EXPECT_EQ(GmtOffsetText(8 * 3600), "GMT+8");
    EXPECT_EQ(GmtOffsetText(-3 * 3600 - 1800), "GMT-3:30");
    EXPECT_EQ(GmtOffsetText(12 * 3600 + 2700), "GMT+12:45");
}

// Every IANA zone name under /usr/share/zoneinfo, skipping the posix/ and
// right/ copies; `visit` gets each name with its TZ rule string.
void ForEachZone(const std::function<void(const std::string&, const std::string&)>& visit) {
    const std::function<void(const std::string&)> walk = [&](const std::string& rel) {
        DIR* d = opendir(("/usr/share/zoneinfo/" + rel).c_str());
        if (!d) return;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name[0] == '.' || (rel.empty() && (name == "posix" || name == "right"))) continue;
            const std::string path = rel.empty() ? name : rel + "/" + name;
            if (e->d_type == DT_DIR) {
                walk(path);
                continue;
            }
            const std::string rule = SystemZoneRule(path);
            if (!rule.empty()) visit(path, rule);
        }
        closedir(d);
    };
    walk("");
}

TEST(ZoneText, TheLongestOffsetsFitTheDocuments) {
    const ZoneCase cases[] = {
        {"Australia/Lord_Howe", "2026-07-08T00:00", 10 * 3600 + 1800, "GMT+10:30"},
        {"Australia/Lord_Howe", "2026-12-08T00:00", 11 * 3600, "GMT+11"},
        {"Pacific/Chatham", "2026-07-08T00:00", 12 * 3600 + 2700, "GMT+12:45"},
        {"Pacific/Chatham", "2026-12-08T00:00", 13 * 3600 + 2700, "GMT+13:45"},
        {"Pacific/Marquesas", "2026-12-08T00:00", -9 * 3600 - 1800, "GMT-9:30"},
        {"Pacific/Kiritimati", "2026-12-08T00:00", 14 * 3600, "GMT+14"},
    };
    for (const ZoneCase& c : cases) {
        const std::string text = ZoneText(c.zone, Utc(c.utc), c.offsetSeconds);
        EXPECT_EQ(text, c.text) << c.zone << " at " << c.utc;
        EXPECT_LE(text.size(), kMaxZoneLength) << c.zone;
    }
}

// Whatever the zone and the day, its text fits: each zone is tried at the
// middle of every month of two years (both sides of any daylight saving).
TEST(ZoneText, EveryZoneOfTheSystemDataFits) {
    std::size_t zones = 0;
    ForEachZone([&](const std::string& zone, const std::string& ruleText) {
        const auto rule = ReadZoneRule(ruleText);
        if (!rule) return;
        ++zones;
        for (int month = 0; month < 24; ++month) {
            const int64_t t = Utc("2026-01-15T12:00") + int64_t{month} * 30 * 86400 + (month % 2) * 11 * 3600;
            const int offset = ZoneAt(*rule, t).offsetSeconds;
            const std::string text = ZoneText(zone, t, offset);
            EXPECT_LE(text.size(), kMaxZoneLength) << zone << ": " << text;
            EXPECT_FALSE(text.empty()) << zone;
        }
    });
    EXPECT_GT(zones, 300u);
}

// Every rule of the Windows program's table is the one the Linux program
// reads from the same machine's files, and every rule is readable.
TEST(ZoneTable, MatchesTheSystemFilesItWasMadeFrom) {
    std::size_t zones = 0;
    ForEachZone([&](const std::string& path, const std::string& rule) {
        ++zones;
        EXPECT_EQ(BuiltInZoneRule(path), rule) << path;
        EXPECT_TRUE(ReadZoneRule(rule).has_value()) << path << ": " << rule;
    });
    EXPECT_GT(zones, 300u);
    EXPECT_EQ(BuiltInZoneRule("Europe/Nowhere"), "");
    EXPECT_EQ(BuiltInZoneRule(""), "");
}

}  // namespace
