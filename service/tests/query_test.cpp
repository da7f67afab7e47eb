#include "model/url_encoding.h"
#include "http/request_query.h"

#include <gtest/gtest.h>

namespace {

const std::string kCardPrefix = "q=select%20*%20from%20geo.places%20where%20text%20%3D%20";

TEST(PercentDecode, DecodesEscapesAndPlus) {
    bool wellFormed = false;
    EXPECT_EQ(PercentDecoded("a%20b+c%2B%41%e9", Plus::IsSpace, &wellFormed), "a b c+A\xE9");
    EXPECT_TRUE(wellFormed);
    // In a path a '+' is itself.
    EXPECT_EQ(PercentDecoded("/v1/a+b%2Bc", Plus::IsPlus, &wellFormed), "/v1/a+b+c");
    EXPECT_TRUE(wellFormed);
}

TEST(PercentDecode, MalformedEscapesAreKeptAndTold) {
    for (const char* bad : {"%", "%4", "a%G1", "%%41", "x%2"}) {
        bool wellFormed = true;
        PercentDecoded(bad, Plus::IsSpace, &wellFormed);
        EXPECT_FALSE(wellFormed) << bad;
    }
    EXPECT_EQ(PercentDecoded("100%+%%41", Plus::IsSpace), "100% %A");
}

TEST(ForecastQuery, ReadsIdAndUnits) {
    ForecastQuery q = ReadForecastQuery("w=4250542");
    EXPECT_EQ(q.status, QueryStatus::Ok);
    EXPECT_TRUE(q.validId);
    EXPECT_EQ(q.id, 4250542);
    EXPECT_EQ(q.units, Units::Imperial);

    q = ReadForecastQuery("w=4250542&u=c");
    EXPECT_EQ(q.units, Units::Metric);
    q = ReadForecastQuery("u=c&w=7");
    EXPECT_EQ(q.id, 7);
    EXPECT_EQ(q.units, Units::Metric);
    EXPECT_EQ(ReadForecastQuery("w=7&u=f").units, Units::Imperial);
    EXPECT_EQ(ReadForecastQuery("w=7&u=C").units, Units::Imperial);  // the card sends lower-case c only
}

TEST(ForecastQuery, IdsThatAreNotDecimalAreInvalidNotErrors) {
    for (const char* raw : {"w=abc", "w=", "w=0", "w=-5", "w=123456789012345", "w=1%2B1", "w=%2012", "w=12%20", "x=1",
                            ""}) {
        const ForecastQuery q = ReadForecastQuery(raw);
        EXPECT_EQ(q.status, QueryStatus::Ok) << raw;
        EXPECT_FALSE(q.validId) << raw;
    }
    EXPECT_TRUE(ReadForecastQuery("w=9999999999").validId);
    EXPECT_EQ(ReadForecastQuery("w=20000005013364").id, 20000005013364);  // an OpenStreetMap place: 14 digits
}

TEST(ForecastQuery, MalformedAndOverlongQueriesAreRefused) {
    EXPECT_EQ(ReadForecastQuery("w=%ZZ").status, QueryStatus::Malformed);
    EXPECT_EQ(ReadForecastQuery("w=1&" + std::string(kMaxQueryLength, 'x')).status, QueryStatus::TooLong);
    const std::string exact = "w=1&x=" + std::string(kMaxQueryLength - 6, 'x');
    EXPECT_EQ(ReadForecastQuery(exact).status, QueryStatus::Ok);
}

TEST(PlaceQuery, ReadsTheCardsRequest) {
    const PlaceQuery q = ReadPlaceQuery(kCardPrefix + "'Eiffel%20Tower'");
    EXPECT_EQ(q.status, QueryStatus::Ok);
    EXPECT_EQ(q.text, "Eiffel Tower");
    EXPECT_EQ(ReadPlaceQuery(kCardPrefix + "''").text, "");
}

TEST(PlaceQuery, AcceptsTheOldDoubleQuotesAndOtherSpellings) {
    EXPECT_EQ(ReadPlaceQuery("q=select%20*%20from%20geo.places%20where%20text%3D%22Tokyo%22").text, "Tokyo");
    EXPECT_EQ(ReadPlaceQuery("q=SELECT+*+FROM+geo.places+WHERE+text+%3D+'Paris'").text, "Paris");
    EXPECT_EQ(ReadPlaceQuery("format=xml&q=select * from geo.places where text='Oslo'").text, "Oslo");
    EXPECT_EQ(ReadPlaceQuery(kCardPrefix + "'Oslo'&format=xml").text, "Oslo");
}

TEST(PlaceQuery, TypedCharactersTheCardLeavesUnencodedSurvive) {
    EXPECT_EQ(ReadPlaceQuery(kCardPrefix + "'O'Fallon'").text, "O'Fallon");
    EXPECT_EQ(ReadPlaceQuery(kCardPrefix + "'Trinidad%20&%20Tobago'").text, "Trinidad & Tobago");
    EXPECT_EQ(ReadPlaceQuery(kCardPrefix + "'Z\xFCrich,%20CH'").text, "Z\xFCrich, CH");
    EXPECT_EQ(ReadPlaceQuery(kCardPrefix + "'#1'").text, "#1");
}

// What users type goes out as typed: a '%' that starts no escape and a '#'
// are text, never a refusal the card would wait 30 s for.
TEST(PlaceQuery, LonePercentSignsAndHashesAreText) {
    const struct {
        std::string raw, text;
    } cases[] = {
        {kCardPrefix + "'100%'", "100%"},
        {kCardPrefix + "'50%%20off'", "50% off"},
        {kCardPrefix + "'%zz'", "%zz"},
        {kCardPrefix + "'%4'", "%4"},
        {kCardPrefix + "'a%'", "a%"},
        {kCardPrefix + "'%C3%BC%'", "\xC3\xBC%"},
        {kCardPrefix + "'Paris#1'", "Paris#1"},
        {kCardPrefix + "'#'", "#"},
        {kCardPrefix + "'Paris", "Paris"},  // the closing quote cut off with a '#' by a server in front
        {kCardPrefix + "'", ""},
    };
    for (const auto& c : cases) {
        const PlaceQuery q = ReadPlaceQuery(c.raw);
        EXPECT_EQ(q.status, QueryStatus::Ok) << c.raw;
        EXPECT_EQ(q.text, c.text) << c.raw;
    }
}

TEST(PlaceQuery, RefusesWhatIsNotAGeoPlacesTextQuery) {
    for (const std::string& raw : {std::string("text='x'"), std::string("q=select * from weather.forecast where text='x'"),
                                   std::string("q=select * from geo.places where woeid=12"),
                                   kCardPrefix + "Paris", std::string("q=drop geo.places")}) {
        EXPECT_EQ(ReadPlaceQuery(raw).status, QueryStatus::Malformed) << raw;
    }
    EXPECT_EQ(ReadPlaceQuery(kCardPrefix + "'" + std::string(kMaxQueryLength, 'a') + "'").status,
              QueryStatus::TooLong);
}

}  // namespace
