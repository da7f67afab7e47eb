// Sunrise, sunset and daylight from a place's position, against published
// times (to within two minutes), and the conversion between unit systems.
#include "documents/sun.h"

#include <gtest/gtest.h>

#include "model/feed_dates.h"
#include "documents/feed_document.h"
#include "documents/weather_units.h"
#include "documents/wmo_codes.h"

namespace {

int64_t Day(const char* iso) { return UnixFromLocal(*ReadIsoLocal(iso)) / 86400; }

// Minutes after local midnight of a UTC moment.
int LocalMinutes(int64_t unix, int offset) {
    const LocalDateTime t = FromUnix(unix, offset);
    return t.hour * 60 + t.minute;
}

TEST(Sun, SunriseAndSunsetMatchPublishedTimes) {
    struct Case {
        const char* place;
        double lat, lon;
        const char* date;
        int offsetHours;
        int sunrise, sunset;  // local minutes after midnight
    } cases[] = {
        {"London, midsummer", 51.5074, -0.1278, "2026-06-21", 1, 4 * 60 + 43, 21 * 60 + 21},
        {"Berlin, midwinter", 52.5200, 13.4050, "2026-12-21", 1, 8 * 60 + 15, 15 * 60 + 54},
        {"Tokyo, new year", 35.6895, 139.6917, "2027-01-01", 9, 6 * 60 + 51, 16 * 60 + 38},
        {"Sydney, midsummer", -33.8688, 151.2093, "2026-12-21", 11, 5 * 60 + 41, 20 * 60 + 5},
    };
    for (const Case& c : cases) {
        const SunTimes t = SunTimesOn(c.lat, c.lon, Day(c.date), c.offsetHours * 3600);
        ASSERT_TRUE(t.sunrise && t.sunset) << c.place;
        EXPECT_NEAR(LocalMinutes(*t.sunrise, c.offsetHours * 3600), c.sunrise, 2) << c.place;
        EXPECT_NEAR(LocalMinutes(*t.sunset, c.offsetHours * 3600), c.sunset, 2) << c.place;
    }
}

TEST(Sun, PolarDayAndNightHaveNoSunriseAndTellDayFromNight) {
    // Tromsø: midnight sun in June, polar night in December.
    const SunTimes june = SunTimesOn(69.65, 18.96, Day("2026-06-21"), 7200);
    const SunTimes december = SunTimesOn(69.65, 18.96, Day("2026-12-21"), 3600);
    EXPECT_FALSE(june.sunrise || june.sunset);
    EXPECT_FALSE(december.sunrise || december.sunset);
    const int64_t midnightJune = Day("2026-06-21") * 86400 - 7200;
    EXPECT_TRUE(IsDaylight(69.65, 18.96, midnightJune));
    EXPECT_FALSE(IsDaylight(69.65, 18.96, Day("2026-12-21") * 86400 + 11 * 3600));  // noon, in the dark
    // Berlin at noon and midnight, local time.
    EXPECT_TRUE(IsDaylight(52.52, 13.405, Day("2026-12-21") * 86400 + 11 * 3600));
    EXPECT_FALSE(IsDaylight(52.52, 13.405, Day("2026-12-21") * 86400 - 3600));
}

TEST(Sun, TheForecastGetsItsTimesAndDayOrNight) {
    Weather w;
    w.utcOffsetSeconds = -6 * 3600;
    w.current.localTime = "2026-12-08T06:45";
    w.current.isDay = true;  // whatever the source said, the sun decides
    for (const char* d : {"2026-12-08", "2026-12-09"}) {
        DailyWeather day;
        day.date = d;
        w.days.push_back(day);
    }
    AddSunTimes(w, 39.80172, -89.64371);  // Springfield, IL
    EXPECT_FALSE(w.current.isDay);         // before sunrise
    EXPECT_EQ(w.days[0].sunrise.substr(0, 14), "2026-12-08T07:");
    EXPECT_EQ(w.days[0].sunset.substr(0, 14), "2026-12-08T16:");
    w.current.localTime = "2026-12-08T12:00";
    AddSunTimes(w, 39.80172, -89.64371);
    EXPECT_TRUE(w.current.isDay);
}

Weather DaysFrom(const char* now, int offset, std::initializer_list<const char*> dates) {
    Weather w;
    w.utcOffsetSeconds = offset;
    w.current.localTime = now;
    for (const char* d : dates) {
        DailyWeather day;
        day.date = d;
        day.wmoCode = 0;
        w.days.push_back(day);
    }
    return w;
}

int MinutesOf(const std::string& iso) { return ReadIsoLocal(iso)->hour * 60 + ReadIsoLocal(iso)->minute; }

TEST(Sun, ADayTheSunDoesNotRiseOnTakesTheNightWording) {
    // Tromsø: polar night on 21 December, midnight sun on 21 June, an
    // ordinary day in March.
    struct Case {
        const char* date;
        int offset;
        bool polarNight;
    } cases[] = {{"2026-12-21", 3600, true}, {"2026-06-21", 7200, false}, {"2026-03-21", 3600, false}};
    for (const Case& c : cases) {
        Weather w = DaysFrom((std::string(c.date) + "T12:00").c_str(), c.offset, {c.date});
        AddSunTimes(w, 69.65, 18.96, "Europe/Oslo");
        EXPECT_EQ(w.days[0].polarNight, c.polarNight) << c.date;
    }
    Weather w = DaysFrom("2026-12-21T12:00", 3600, {"2026-12-21", "2026-12-22", "2026-12-23"});
    w.current.temperature = -5;
    w.days[1].wmoCode = 1;
    w.days[2].wmoCode = 3;
    AddSunTimes(w, 69.65, 18.96, "Europe/Oslo");
    Place tromso;
    tromso.id = 3133880;
    tromso.name = "Tromso";
    tromso.countryCode = "NO";
    tromso.timezone = "Europe/Oslo";
    const std::string doc = WeatherDocument(tromso, w, Units::Metric);
    const Condition clear = ConditionFromWmo(0, false), mostlyClear = ConditionFromWmo(1, false);
    EXPECT_EQ(clear.text, "Clear");
    EXPECT_NE(doc.find("text=\"Clear\" code=\"" + std::to_string(clear.code) + "\""), std::string::npos) << doc;
    EXPECT_NE(doc.find("text=\"" + mostlyClear.text + "\" code=\"" + std::to_string(mostlyClear.code) + "\""),
              std::string::npos) << doc;
    EXPECT_NE(doc.find("Mon - Clear."), std::string::npos) << doc;
    EXPECT_EQ(doc.find("Sunny"), std::string::npos) << doc;
    EXPECT_EQ(doc.find("Sunrise"), std::string::npos) << doc;
}

TEST(Sun, EachDaysTimesUseTheOffsetInForceThatDay) {
    // The reply's single offset is the one at the current time, before the
    // change; the day of the change and the days after have the new one.
    struct Case {
        const char* zone;
        double lat, lon;
        const char* now;
        int offset;
        const char* day;
        int shift;  // minutes later than with the reply's offset
    } cases[] = {
        {"Europe/Berlin", 52.52, 13.405, "2026-03-29T00:30", 3600, "2026-03-29", 60},
        {"Europe/Berlin", 52.52, 13.405, "2026-03-29T00:30", 3600, "2026-03-30", 60},
        {"Europe/Berlin", 52.52, 13.405, "2026-10-25T01:00", 7200, "2026-10-26", -60},
        {"Australia/Lord_Howe", -31.55, 159.08, "2026-10-04T00:30", 37800, "2026-10-04", 30},
        {"America/New_York", 40.71, -74.0, "2026-03-08T00:30", -18000, "2026-03-08", 60},
        {"America/New_York", 40.71, -74.0, "2026-07-01T12:00", -14400, "2026-07-02", 0},
        {"Asia/Kolkata", 28.61, 77.2, "2026-07-01T12:00", 19800, "2026-07-02", 0},
        // Rules that disagree with the reply at the current time are not used.
        {"Europe/Berlin", 52.52, 13.405, "2026-03-29T00:30", 0, "2026-03-30", 0},
    };
    for (const Case& c : cases) {
        Weather zoned = DaysFrom(c.now, c.offset, {c.now, c.day});
        zoned.days[0].date = std::string(c.now).substr(0, 10);
        Weather single = zoned;
        AddSunTimes(zoned, c.lat, c.lon, c.zone);
        AddSunTimes(single, c.lat, c.lon);
        const std::size_t i = zoned.days[0].date == c.day ? 0 : 1;
        ASSERT_FALSE(zoned.days[i].sunrise.empty()) << c.zone << " " << c.day;
        EXPECT_EQ(MinutesOf(zoned.days[i].sunrise) - MinutesOf(single.days[i].sunrise), c.shift) << c.zone << " " << c.day;
        EXPECT_EQ(MinutesOf(zoned.days[i].sunset) - MinutesOf(single.days[i].sunset), c.shift) << c.zone << " " << c.day;
        EXPECT_EQ(zoned.days[i].sunrise.substr(0, 10), c.day);
    }
}

TEST(Sun, TheSummaryLineReadsWholeWithOneSunTimeMissing) {
    struct Case {
        const char* sunrise;
        const char* sunset;
        const char* line;  // "": none
    } cases[] = {
        {"2026-12-07T07:08", "2026-12-07T16:39", "Sunrise 7:08 am, sunset 4:39 pm<BR />"},
        {"2026-12-07T01:39", "", "Sunrise 1:39 am, no sunset<BR />"},
        {"", "2026-12-07T23:50", "No sunrise, sunset 11:50 pm<BR />"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        Weather w = DaysFrom("2026-12-07T09:50", 0, {"2026-12-07", "2026-12-08"});
        w.days[0].sunrise = c.sunrise;
        w.days[0].sunset = c.sunset;
        Place p;
        p.id = 1;
        p.name = "Somewhere";
        const std::string doc = WeatherDocument(p, w, Units::Metric);
        if (*c.line) {
            EXPECT_NE(doc.find(c.line), std::string::npos) << doc;
        } else {
            EXPECT_EQ(doc.find("unrise "), std::string::npos) << doc;
        }
        EXPECT_EQ(doc.find(", sunset <"), std::string::npos) << doc;
    }
}

TEST(WeatherUnits, OneForecastServesBothUnitSystems) {
    Weather metric;
    metric.current.temperature = -1.5;
    metric.current.feelsLike = 20.0;
    metric.current.windSpeed = 16.1;
    DailyWeather d;
    d.high = 37.0;
    metric.days.push_back(d);
    const Weather imperial = InUnits(metric, Units::Imperial);
    EXPECT_DOUBLE_EQ(imperial.current.temperature, 29.3);
    EXPECT_DOUBLE_EQ(*imperial.current.feelsLike, 68.0);
    EXPECT_NEAR(*imperial.current.windSpeed, 10.004, 0.001);
    EXPECT_NEAR(*imperial.days[0].high, 98.6, 1e-9);
    EXPECT_FALSE(imperial.current.windDirection.has_value());
    EXPECT_FALSE(imperial.days[0].low.has_value());  // missing stays missing
    // Written as the documents round: whole °F and mph.
    EXPECT_EQ(WholeNumber(imperial.current.temperature), "29");
    EXPECT_EQ(WholeNumber(*imperial.current.windSpeed), "10");
    EXPECT_EQ(InUnits(metric, Units::Metric).current.temperature, -1.5);
}

}  // namespace
