// Sunrise, sunset and daylight from a place's position, against published
// times (to within two minutes), and the conversion between unit systems.
#include "documents/sun.h"

#include <gtest/gtest.h>

#include "model/feed_dates.h"
#include "documents/feed_document.h"
#include "documents/weather_units.h"

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
