// The service's documents read back by the card's own parsers, from the
// bytes that reach the card: headers included, and cut where the card
// stops waiting (it parses at the first tick past 2000 bytes for the
// weather, past 1000 bytes for a place search).
#include <gtest/gtest.h>

#include "feed/forecast_parser.h"
#include "tests/unit/captions.h"
#include "options/place_reply_parser.h"

#include "documents/feed_document.h"
#include "feed/feed_service.h"
#include "harness.h"
#include "documents/place_document.h"
#include "upstream/sample_provider.h"
#include "test_data.h"

namespace {

const std::string kSearch = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20";
constexpr int64_t kFixedTime = 1796745000;  // 2026-12-08T15:50Z: 9:50 am in Springfield

std::string C(int16_t celsius) { return TemperatureSuffix(celsius); }
std::string S(int16_t celsius) { return SpeedSuffix(celsius); }

class CardReadsService : public ::testing::Test {
protected:
    CardReadsService()
        : provider_([] { return kFixedTime; }),
          service_(provider_, ServiceRules{}, [] { return std::chrono::steady_clock::now(); },
                   [] { return kFixedTime; }),
          server_(service_) {}

    std::string Reply(const std::string& target) { return CardGet(server_.port(), target).raw; }

    SampleProvider provider_;
    FeedService service_;
    RunningServer server_;
};

TEST_F(CardReadsService, WeatherReplyFillsTheCard) {
    const std::string raw = Reply("/forecastrss?w=4250542");
    const ForecastResult r = ParseForecast(raw, 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::Title), "Springfield, IL");
    EXPECT_EQ(CaptionOf(r, CardField::DateTime), "at Tue, 08 Dec 2026 9:50 am CST");
    EXPECT_EQ(CaptionOf(r, CardField::WTemp), "23" + C(0));
    EXPECT_EQ(CaptionOf(r, CardField::WSpeed), "10" + S(0));
    EXPECT_EQ(CaptionOf(r, CardField::Cond), "Partly Cloudy");
    EXPECT_EQ(CaptionOf(r, CardField::Temp), "29" + C(0));
    EXPECT_EQ(CaptionOf(r, CardField::Day1), "Tue , Partly Cloudy . High: 38  Low: 25");  // the card keeps each value's space
    EXPECT_EQ(CaptionOf(r, CardField::Day2), "Wed , Light Snow . High: 33  Low: 21 ");
    EXPECT_EQ(r.picture, 31);  // code 30, partly cloudy (day)
    EXPECT_FALSE(r.day1Tall);
}

TEST_F(CardReadsService, MetricReplyFillsTheCard) {
    const ForecastResult r = ParseForecast(Reply("/forecastrss?w=2950159&u=c"), 1);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::Title), "Berlin, DE");
    EXPECT_EQ(CaptionOf(r, CardField::DateTime), "at Tue, 08 Dec 2026 4:50 pm CET");
    EXPECT_EQ(CaptionOf(r, CardField::WTemp), "-7" + C(1));
    EXPECT_EQ(CaptionOf(r, CardField::WSpeed), "14.5" + S(1));
    EXPECT_EQ(CaptionOf(r, CardField::Cond), "Snow");
    EXPECT_EQ(CaptionOf(r, CardField::Temp), "-3" + C(1));
    EXPECT_EQ(CaptionOf(r, CardField::Day1), "Tue , Snow . High: -1  Low: -5");  // -0.5 rounds away from zero
    EXPECT_EQ(r.picture, 17);
}

TEST_F(CardReadsService, TheFirst2001BytesAreEnoughForEveryPlaceAndUnit) {
    for (const Place& p : SamplePlaces()) {
        for (int16_t celsius : {int16_t{0}, int16_t{1}}) {
            const std::string target = "/forecastrss?w=" + std::to_string(p.id) + (celsius ? "&u=c" : "");
            const std::string raw = Reply(target);
            ASSERT_GT(raw.size(), 2001u) << target;
            const ForecastResult whole = ParseForecast(raw, celsius);
            const ForecastResult early = ParseForecast(raw.substr(0, 2001), celsius);
            ASSERT_TRUE(whole.ok) << target << ": " << whole.error;
            ASSERT_TRUE(early.ok) << target << ": " << early.error;
            EXPECT_EQ(early.captions, whole.captions) << target;
            EXPECT_EQ(early.picture, whole.picture) << target;
        }
    }
}

TEST(CardReadsDocument, TheLongestDocumentStillParsesFromItsFirst2001Bytes) {
    const std::string raw = LongestHeaders() + WeatherDocument(LongestPlace(), LongestWeather(), Units::Metric);
    const ForecastResult r = ParseForecast(raw.substr(0, 2001), 1);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::Title), std::string(kMaxNameLength, 'N') + ", ZZ");
    EXPECT_EQ(CaptionOf(r, CardField::Day2), "Thu , Heavy Snow Showers . High: -110  Low: -120 ");
    EXPECT_TRUE(r.day1Tall);  // the card makes room for the long first line
}

TEST(CardReadsDocument, UnknownPlaceIsNeverParsedByTheCard) {
    // The card waits for more than 2000 bytes; the short error document
    // ends in the card's own retry instead of half-filled captions.
    EXPECT_LE((LongestHeaders() + NotFoundDocument()).size(), 2000u);
}

TEST_F(CardReadsService, PlaceSearchIsFoundFromTheFirst1001Bytes) {
    const std::string raw = Reply(kSearch + "'Springfield'");
    ASSERT_GT(raw.size(), 1001u);
    const PlaceReply r = ParsePlaceReply(raw.substr(0, 1001));
    EXPECT_EQ(r.outcome, PlaceReply::Found);
    EXPECT_EQ(r.woeid, "4250542");
    EXPECT_EQ(r.name, "Springfield");
    EXPECT_EQ(ParsePlaceReply(raw).woeid, "4250542");

    // The found id gives a filled card.
    EXPECT_TRUE(ParseForecast(Reply("/forecastrss?w=" + r.woeid), 0).ok);
}

TEST(CardReadsDocument, LongestPlaceIsFoundFromTheFirst1001Bytes) {
    const std::string raw = LongestPlaceHeaders() + PlaceSearchDocument({LongestPlace()}, kFixedTime);
    const PlaceReply r = ParsePlaceReply(raw.substr(0, 1001));
    EXPECT_EQ(r.outcome, PlaceReply::Found);
    EXPECT_EQ(r.woeid, "9999999999");
    EXPECT_EQ(r.name, std::string(kMaxNameLength, 'N'));
}

TEST_F(CardReadsService, NoMatchIsReadAtOnceAsNotFound) {
    // Over the card's 1000 bytes, so it parses at its next tick instead of
    // waiting 30 seconds, and without a woeid, so it says "Not found".
    const std::string raw = Reply(kSearch + "'Atlantis'");
    EXPECT_NE(raw.find("<results/>"), std::string::npos);
    ASSERT_GT(raw.size(), 1001u);
    for (const std::string& seen : {raw.substr(0, 1001), raw}) {
        const PlaceReply r = ParsePlaceReply(seen);
        EXPECT_EQ(r.outcome, PlaceReply::Unusable);
        EXPECT_FALSE(r.woeidCut);  // the dialog keeps the place it had
        EXPECT_FALSE(r.nameCut);
    }
}

}  // namespace

namespace {

TEST_F(CardReadsService, SydneyHasTheLongFirstLineThatMakesTheCardWrapIt) {
    const ForecastResult r = ParseForecast(Reply("/forecastrss?w=2147714"), 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::Day1), "Wed , Thunderstorms, Hail . High: 88  Low: 68");  // already Wednesday there
    EXPECT_TRUE(r.day1Tall);
}

}  // namespace
