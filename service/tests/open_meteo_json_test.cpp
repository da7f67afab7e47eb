#include "upstream/open_meteo_json.h"

#include <gtest/gtest.h>

#include "sample_json.h"

namespace {

TEST(OpenMeteoForecast, ReadsCurrentAndDailyValues) {
    const Fetched<Weather> w = ReadForecastJson(ForecastJson("\xC2\xB0" "F", 29.3, 23.1, 10.2, 2, 0));
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(w.value.zoneAbbreviation, "CST");
    EXPECT_EQ(w.value.utcOffsetSeconds, -21600);
    const CurrentWeather& c = w.value.current;
    EXPECT_EQ(c.localTime, "2026-12-08T09:45");
    EXPECT_DOUBLE_EQ(c.temperature, 29.3);
    EXPECT_DOUBLE_EQ(*c.feelsLike, 23.1);
    EXPECT_DOUBLE_EQ(*c.windSpeed, 10.2);
    EXPECT_DOUBLE_EQ(*c.windDirection, 250);
    EXPECT_EQ(*c.wmoCode, 2);
    EXPECT_FALSE(c.isDay);
    EXPECT_DOUBLE_EQ(*c.humidity, 78);
    EXPECT_DOUBLE_EQ(*c.pressureHpa, 1021.3);
    EXPECT_DOUBLE_EQ(*c.visibilityMetres, 24140.0);
    ASSERT_EQ(w.value.days.size(), 5u);
    EXPECT_EQ(w.value.days[1].date, "2026-12-09");
    EXPECT_EQ(*w.value.days[1].wmoCode, 71);
    EXPECT_DOUBLE_EQ(*w.value.days[0].high, 38.1);
    EXPECT_DOUBLE_EQ(*w.value.days[0].low, 25.0);
    EXPECT_EQ(w.value.days[0].sunrise, "2026-12-08T07:08");
    // null stays missing rather than becoming zero
    EXPECT_FALSE(w.value.days[2].wmoCode.has_value());
    EXPECT_FALSE(w.value.days[4].high.has_value());
}

TEST(OpenMeteoForecast, VisibilityInFeetIsConverted) {
    std::string json = ForecastJson("\xC2\xB0" "F", 1, 1, 1, 0, 1);
    json.replace(json.find("\"visibility\":\"m\""), 16, "\"visibility\":\"ft\"");
    const Fetched<Weather> w = ReadForecastJson(json);
    ASSERT_TRUE(w.ok);
    EXPECT_NEAR(*w.value.current.visibilityMetres, 24140.0 * 0.3048, 0.01);
}

TEST(OpenMeteoForecast, UnusableRepliesFail) {
    EXPECT_FALSE(ReadForecastJson("").ok);
    EXPECT_FALSE(ReadForecastJson("not json").ok);
    EXPECT_FALSE(ReadForecastJson("[1,2]").ok);
    EXPECT_FALSE(ReadForecastJson("{\"error\":true,\"reason\":\"Too many requests\"}").ok);
    std::string noTemp = ForecastJson("x", 1, 1, 1, 0, 1);
    noTemp.replace(noTemp.find("\"temperature_2m\":1"), 18, "\"temperature_2m\":null");
    EXPECT_FALSE(ReadForecastJson(noTemp).ok);
    const std::string oneDay =
        "{\"current\":{\"time\":\"2026-12-08T09:45\",\"temperature_2m\":1},"
        "\"daily\":{\"time\":[\"2026-12-08\"],\"temperature_2m_max\":[2],\"temperature_2m_min\":[0]}}";
    EXPECT_FALSE(ReadForecastJson(oneDay).ok);
    // Wrong types are treated as missing, not trusted.
    const std::string oddTypes =
        "{\"current\":{\"time\":\"2026-12-08T09:45\",\"temperature_2m\":1,\"weather_code\":\"95\",\"is_day\":null},"
        "\"daily\":{\"time\":[\"2026-12-08\",\"2026-12-09\"],\"weather_code\":{},\"temperature_2m_max\":[2,\"3\"]}}";
    const Fetched<Weather> w = ReadForecastJson(oddTypes);
    ASSERT_TRUE(w.ok);
    EXPECT_FALSE(w.value.current.wmoCode.has_value());
    EXPECT_FALSE(w.value.days[1].high.has_value());
    EXPECT_FALSE(w.value.days[0].wmoCode.has_value());
}

TEST(OpenMeteoForecast, ImpossibleValuesAreDroppedNotWritten) {
    std::string json = ForecastJson("x", 1, 1e300, 5000, 0, 1);
    const auto swap = [&json](const std::string& from, const std::string& to) {
        json.replace(json.find(from), from.size(), to);
    };
    swap("\"relative_humidity_2m\":78", "\"relative_humidity_2m\":-3");
    swap("[38.1,", "[1e99,");
    const Fetched<Weather> w = ReadForecastJson(json);
    ASSERT_TRUE(w.ok);
    EXPECT_FALSE(w.value.current.feelsLike.has_value());
    EXPECT_FALSE(w.value.current.windSpeed.has_value());
    EXPECT_FALSE(w.value.current.humidity.has_value());
    EXPECT_FALSE(w.value.days[0].high.has_value());
    EXPECT_FALSE(ReadForecastJson(ForecastJson("x", -400, 1, 1, 0, 1)).ok);  // no usable temperature
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
