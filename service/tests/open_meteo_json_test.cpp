#include "upstream/open_meteo_json.h"

#include <gtest/gtest.h>

#include "sample_json.h"

namespace {

// The sample reply with one piece of it replaced.
std::string With(std::string json, const std::string& from, const std::string& to) {
    const std::size_t at = json.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) json.replace(at, from.size(), to);
    return json;
}

const std::string kCelsius = ForecastJson("\xC2\xB0" "C", -1.5, -4.9, 16.42, 2, 0);

TEST(OpenMeteoForecast, ReadsCurrentAndDailyValuesInMetricWhateverTheirUnits) {
    const Fetched<Weather> w = ReadForecastJson(ForecastJson("\xC2\xB0" "F", 29.3, 23.1, 10.2, 2, 0));
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(w.value.zoneAbbreviation, "CST");
    EXPECT_EQ(w.value.utcOffsetSeconds, -21600);
    const CurrentWeather& c = w.value.current;
    EXPECT_EQ(c.localTime, "2026-12-08T09:45");
    EXPECT_NEAR(c.temperature, -1.5, 1e-9);  // 29.3 °F
    EXPECT_NEAR(*c.feelsLike, -4.9444, 1e-3);
    EXPECT_NEAR(*c.windSpeed, 10.2 * 1.609344, 1e-9);  // "mp/h"
    EXPECT_DOUBLE_EQ(*c.windDirection, 250);
    EXPECT_EQ(*c.wmoCode, 2);
    EXPECT_FALSE(c.isDay);
    EXPECT_DOUBLE_EQ(*c.humidity, 78);
    EXPECT_DOUBLE_EQ(*c.pressureHpa, 1021.3);
    EXPECT_DOUBLE_EQ(*c.visibilityMetres, 24140.0);
    ASSERT_EQ(w.value.days.size(), 5u);
    EXPECT_EQ(w.value.days[1].date, "2026-12-09");
    EXPECT_EQ(*w.value.days[1].wmoCode, 71);
    EXPECT_NEAR(*w.value.days[0].high, (38.1 - 32) * 5 / 9, 1e-9);
    EXPECT_EQ(w.value.days[0].sunrise, "2026-12-08T07:08");
    // null stays missing rather than becoming zero
    EXPECT_FALSE(w.value.days[2].wmoCode.has_value());
    EXPECT_FALSE(w.value.days[4].high.has_value());
    // Metric as it came.
    const Fetched<Weather> m = ReadForecastJson(kCelsius);
    ASSERT_TRUE(m.ok) << m.error;
    EXPECT_DOUBLE_EQ(m.value.current.temperature, -1.5);
    EXPECT_DOUBLE_EQ(*m.value.current.windSpeed, 16.42);
}

TEST(OpenMeteoForecast, UnitsComeFromTheReplyOrTheRequestsDefaults) {
    struct Case {
        const char* from;
        const char* to;
        double windKmh;  // 0: refused
    } cases[] = {
        {"\"wind_speed_10m\":\"km/h\"", "\"wind_speed_10m\":\"m/s\"", 16.42 * 3.6},
        {"\"wind_speed_10m\":\"km/h\"", "\"wind_speed_10m\":\"kn\"", 16.42 * 1.852},
        {"\"wind_speed_10m\":\"km/h\",", "", 16.42},  // not named: the request's km/h
        {"\"wind_speed_10m\":\"km/h\"", "\"wind_speed_10m\":\"furlongs\"", 0},
        {"\"wind_speed_10m\":\"km/h\"", "\"wind_speed_10m\":7", 0},
        {"\"temperature_2m\":\"\xC2\xB0" "C\"", "\"temperature_2m\":\"K\"", 0},
        {"\"temperature_2m_max\":\"\xC2\xB0" "C\"", "\"temperature_2m_max\":\"x\"", 0},
        {"\"visibility\":\"m\"", "\"visibility\":\"ft\"", 16.42},
        {"\"pressure_msl\":\"hPa\"", "\"pressure_msl\":\"inHg\"", 0},
    };
    for (const Case& c : cases) {
        const Fetched<Weather> w = ReadForecastJson(With(kCelsius, c.from, c.to));
        EXPECT_EQ(w.ok, c.windKmh > 0) << c.to << " " << w.error;
        if (w.ok && c.windKmh > 0) EXPECT_NEAR(*w.value.current.windSpeed, c.windKmh, 1e-9) << c.to;
    }
    const Fetched<Weather> feet = ReadForecastJson(With(kCelsius, "\"visibility\":\"m\"", "\"visibility\":\"ft\""));
    ASSERT_TRUE(feet.ok);
    EXPECT_NEAR(*feet.value.current.visibilityMetres, 24140.0 * 0.3048, 0.01);
    // No units at all: everything as the request fixed it.
    std::string bare = kCelsius;
    bare.erase(bare.find("\"current_units\""), bare.find("\"current\":") - bare.find("\"current_units\""));
    const Fetched<Weather> b = ReadForecastJson(bare);
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_DOUBLE_EQ(b.value.current.temperature, -1.5);
}

TEST(OpenMeteoForecast, TimeFormsTheSourceWritesAreReadOthersRefused) {
    struct Case {
        const char* time;
        const char* local;  // "": refused
    } cases[] = {
        {"2026-12-08T09:45", "2026-12-08T09:45"},
        {"2026-12-08T09:45:00", "2026-12-08T09:45"},
        {"2026-12-08T09:45:59", "2026-12-08T09:45"},
        {"2026-12-08T15:45Z", "2026-12-08T09:45"},            // UTC, the place at -6 h
        {"2026-12-08T15:45:00Z", "2026-12-08T09:45"},
        {"2026-12-08T16:45+01:00", "2026-12-08T09:45"},
        {"2026-12-08T09:45-0600", "2026-12-08T09:45"},
        {"2026-12-09T02:45+17", "2026-12-08T03:45"},
        {"2026-12-08", ""},
        {"2026-12-08 09:45", ""},
        {"2026-12-08T09:45:60", ""},
        {"2026-12-08T24:00", ""},
        {"2026-12-08T09:45:00.5", ""},
        {"2026-12-08T09:45+1", ""},
        {"2026-12-08T09:45 CET", ""},
        {"1765208700", ""},
    };
    for (const Case& c : cases) {
        const Fetched<Weather> w = ReadForecastJson(With(kCelsius, "\"2026-12-08T09:45\"", std::string("\"") + c.time + "\""));
        EXPECT_EQ(w.ok, *c.local != 0) << c.time << " " << w.error;
        if (w.ok && *c.local) EXPECT_EQ(w.value.current.localTime, c.local) << c.time;
    }
    EXPECT_FALSE(ReadForecastJson(With(kCelsius, "\"2026-12-08T09:45\"", "1765208700")).ok);
    EXPECT_FALSE(ReadForecastJson(With(kCelsius, "\"2026-12-08T09:45\"", "null")).ok);
}

TEST(OpenMeteoForecast, DaysFollowOneAnotherFromTheCurrentDate) {
    const std::string days = "[\"2026-12-08\",\"2026-12-09\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]";
    struct Case {
        const char* time;
        const char* list;
        const char* first;  // "": refused
        std::size_t count;
    } cases[] = {
        {"2026-12-08T09:45", "[\"2026-12-08\",\"2026-12-09\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "2026-12-08", 5},
        // A reply that starts yesterday: re-aligned.
        {"2026-12-09T09:45", "[\"2026-12-08\",\"2026-12-09\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "2026-12-09", 4},
        // One that starts tomorrow, skips or repeats a day, or has no real dates: refused.
        {"2026-12-07T09:45", "[\"2026-12-08\",\"2026-12-09\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "", 0},
        {"2026-12-08T09:45", "[\"2026-12-08\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\",\"2026-12-13\"]", "", 0},
        {"2026-12-08T09:45", "[\"2026-12-08\",\"2026-12-08\",\"2026-12-09\",\"2026-12-10\",\"2026-12-11\"]", "", 0},
        {"2026-12-08T09:45", "[\"2026-12-08\",null,\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "", 0},
        {"2026-12-08T09:45", "[\"2026-12-08\",20261209,\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "", 0},
        {"2026-12-08T09:45", "[\"2026-12-08\",\"2026-12-09T00:00\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "", 0},
        {"2026-12-08T09:45", "[\"2026-12-08\",\"2026-12-9\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "", 0},
        // Across a month's and a year's end.
        {"2026-12-31T23:00", "[\"2026-12-31\",\"2027-01-01\",\"2027-01-02\",\"2027-01-03\",\"2027-01-04\"]", "2026-12-31", 5},
        // Only one day left from the current date on: refused.
        {"2026-12-12T09:45", "[\"2026-12-08\",\"2026-12-09\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"]", "", 0},
    };
    for (const Case& c : cases) {
        const std::string json =
            With(With(kCelsius, "\"2026-12-08T09:45\"", std::string("\"") + c.time + "\""), days, c.list);
        const Fetched<Weather> w = ReadForecastJson(json);
        EXPECT_EQ(w.ok, *c.first != 0) << c.time << " " << c.list << " " << w.error;
        if (!w.ok || !*c.first) continue;
        ASSERT_EQ(w.value.days.size(), c.count) << c.list;
        EXPECT_EQ(w.value.days[0].date, c.first);
    }
    // Re-aligned, each day keeps its own values.
    const Fetched<Weather> w = ReadForecastJson(With(kCelsius, "\"2026-12-08T09:45\"", "\"2026-12-09T00:15\""));
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(*w.value.days[0].wmoCode, 71);
    // A list that does not match the days is refused.
    EXPECT_FALSE(ReadForecastJson(With(kCelsius, "[3,71,null,0,1]", "[3,71,null,0]")).ok);
}

TEST(OpenMeteoForecast, TheOffsetIsPresentAndWhole) {
    struct Case {
        const char* offset;
        bool ok;
    } cases[] = {
        {"\"utc_offset_seconds\":-21600", true},   {"\"utc_offset_seconds\":-21600.0", true},
        {"\"utc_offset_seconds\":45900", true},    {"", false},
        {"\"utc_offset_seconds\":null", false},    {"\"utc_offset_seconds\":\"-21600\"", false},
        {"\"utc_offset_seconds\":-21600.5", false}, {"\"utc_offset_seconds\":90000", false},
    };
    for (const Case& c : cases) {
        std::string json = With(kCelsius, "\"utc_offset_seconds\":-21600,", *c.offset ? std::string(c.offset) + "," : "");
        EXPECT_EQ(ReadForecastJson(json).ok, c.ok) << c.offset;
    }
}

TEST(OpenMeteoForecast, ValuesOutsideThePhysicalRecordsAndFractionalCodesAreRefused) {
    struct Case {
        const char* from;
        const char* to;
        bool ok;
    } cases[] = {
        {"\"temperature_2m\":-1.500000", "\"temperature_2m\":56.7", true},
        {"\"temperature_2m\":-1.500000", "\"temperature_2m\":-89.2", true},
        {"\"temperature_2m\":-1.500000", "\"temperature_2m\":99", false},
        {"\"temperature_2m\":-1.500000", "\"temperature_2m\":-149.9", false},
        {"\"temperature_2m\":-1.500000", "\"temperature_2m\":null", false},  // no current temperature
        {"\"temperature_2m\":-1.500000", "\"temperature_2m\":\"-1.5\"", false},
        {"\"wind_speed_10m\":16.420000", "\"wind_speed_10m\":408", true},
        {"\"wind_speed_10m\":16.420000", "\"wind_speed_10m\":999.9", false},
        {"\"wind_speed_10m\":16.420000", "\"wind_speed_10m\":-1", false},
        {"\"wind_speed_10m\":16.420000", "\"wind_speed_10m\":null", true},
        {"\"relative_humidity_2m\":78", "\"relative_humidity_2m\":-3", false},
        {"\"apparent_temperature\":-4.900000", "\"apparent_temperature\":1e300", false},
        {"[38.1,", "[1e99,", false},
        {"[38.1,", "[61,", false},
        {"[25.0,", "[-96,", false},
        {"[38.1,", "[null,", true},
        {"[38.1,", "[\"3\",", false},
        {"\"weather_code\":2,", "\"weather_code\":2.5,", false},
        {"\"weather_code\":2,", "\"weather_code\":2.0,", true},
        {"\"weather_code\":2,", "\"weather_code\":100,", false},
        {"\"weather_code\":2,", "\"weather_code\":-1,", false},
        {"\"weather_code\":2,", "\"weather_code\":\"95\",", false},
        {"[3,71,null,0,1]", "[3,71.5,null,0,1]", false},
        {"[3,71,null,0,1]", "[3,99,null,0,45]", true},
    };
    for (const Case& c : cases) {
        const Fetched<Weather> w = ReadForecastJson(With(kCelsius, c.from, c.to));
        EXPECT_EQ(w.ok, c.ok) << c.to << " " << w.error;
    }
}

TEST(OpenMeteoForecast, UnusableRepliesFail) {
    EXPECT_FALSE(ReadForecastJson("").ok);
    EXPECT_FALSE(ReadForecastJson("not json").ok);
    EXPECT_FALSE(ReadForecastJson("[1,2]").ok);
    EXPECT_FALSE(ReadForecastJson("{\"error\":true,\"reason\":\"Too many requests\"}").ok);
    const std::string oneDay =
        "{\"utc_offset_seconds\":0,\"current\":{\"time\":\"2026-12-08T09:45\",\"temperature_2m\":1},"
        "\"daily\":{\"time\":[\"2026-12-08\"],\"temperature_2m_max\":[2],\"temperature_2m_min\":[0]}}";
    EXPECT_FALSE(ReadForecastJson(oneDay).ok);
    EXPECT_FALSE(ReadForecastJson(With(kCelsius, "\"daily_units\":{", "\"daily_units\":[],\"x\":{")).ok);
}

TEST(OpenMeteoGeocoding, SearchResultsBecomePlaces) {
    const std::string json = "{\"results\":[" + SpringfieldJson(4250542, "Illinois", 39.80172, -89.64371) + "," +
                             SpringfieldJson(4409896, "Missouri", 37.21533, -93.29824) +
                             ",{\"id\":5,\"name\":\"No position\"}," +
                             // From 1e13 on, ids stand for OpenStreetMap places: never a GeoNames one.
                             SpringfieldJson(10000000000000, "Ohio", 39.9, -83.8) + "],\"generationtime_ms\":1.2}";
    const Fetched<std::vector<Place>> r = ReadSearchJson(json);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.value.size(), 2u);  // the entries without a position or with an id out of range are skipped
    const Place& p = r.value[0];
    EXPECT_EQ(p.id, 4250542);
    EXPECT_EQ(p.name, "Springfield");
    EXPECT_EQ(p.countryCode, "US");
    EXPECT_EQ(p.country, "United States");
    EXPECT_EQ(p.admin1, "Illinois");
    EXPECT_EQ(p.postcode, "62701");
    EXPECT_EQ(p.timezone, "America/Chicago");
    EXPECT_NEAR(p.latitude, 39.80172, 1e-6);
    EXPECT_EQ(r.value[1].admin1, "Missouri");
}

TEST(OpenMeteoGeocoding, NoResultsKeyIsAnEmptyMatch) {
    const Fetched<std::vector<Place>> r = ReadSearchJson("{\"generationtime_ms\":0.4}");
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.value.empty());
    EXPECT_FALSE(ReadSearchJson("{\"results\":7}").ok);
    EXPECT_FALSE(ReadSearchJson("<html>").ok);
}

TEST(OpenMeteoGeocoding, GetReplyAndErrorReason) {
    const Fetched<Place> p = ReadPlaceJson(SpringfieldJson(4250542, "Illinois", 39.8, -89.6));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.value.id, 4250542);
    EXPECT_EQ(ReadErrorReason("{\"error\":true,\"reason\":\"Location ID not found.\"}"), "Location ID not found.");
    EXPECT_EQ(ReadErrorReason("oops"), "");
}

}  // namespace
