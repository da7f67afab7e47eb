// ParseForecast: the fixed walk through the feed reply, the forecast lines,
// the condition picture and the failure results for unusable replies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captions.h"
#include "feed_sample.h"

namespace {

const std::string kF = "   \xB0 F";  // ANSI degree sign
const std::string kC = "   \xB0 C";

std::vector<CardField> Fields(const ForecastResult& r) {
    std::vector<CardField> out;
    for (const auto& c : r.captions) out.push_back(c.first);
    return out;
}

const std::vector<CardField> kAllFields = {CardField::Title, CardField::DateTime, CardField::WTemp,
                                           CardField::WSpeed, CardField::Cond, CardField::Temp,
                                           CardField::Day1, CardField::Day2};

// A failed parse: fields before the fault, then Day1 with the reason.
void ExpectFailure(const ForecastResult& r, const std::vector<CardField>& before) {
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.picture, 49);
    ASSERT_EQ(r.captions.size(), before.size() + 1);
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(r.captions[i].first, before[i]) << i;
    EXPECT_EQ(r.captions.back().first, CardField::Day1);
    EXPECT_NE(r.captions.back().second.find(r.error), std::string::npos)
        << r.captions.back().second;
    EXPECT_EQ(CaptionOf(r, CardField::Day2), "");
}

}  // namespace

TEST(ForecastParser, WorkedExampleFillsEveryCaptionInOrder) {
    FeedSample s;
    ForecastResult r = ParseForecast(s.Reply(), 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(Fields(r), kAllFields);
    EXPECT_EQ(CaptionOf(r, CardField::Title), "Springfield, XY");
    EXPECT_EQ(CaptionOf(r, CardField::DateTime), "at Mon, 07 Dec 2026 9:50 am XST");
    EXPECT_EQ(CaptionOf(r, CardField::WTemp), "28" + kF);
    EXPECT_EQ(CaptionOf(r, CardField::WSpeed), "10  mph");
    EXPECT_EQ(CaptionOf(r, CardField::Cond), "Fair");
    EXPECT_EQ(r.conditionCode, "34 ");
    EXPECT_EQ(CaptionOf(r, CardField::Temp), "31" + kF);
    EXPECT_EQ(CaptionOf(r, CardField::Day1), "Mon , Partly Cloudy . High: 38  Low: 25");
    EXPECT_EQ(CaptionOf(r, CardField::Day1).size(), 39u);
    EXPECT_FALSE(r.day1Tall);
    // Line 2 is not trimmed: it keeps the space after the low.
    EXPECT_EQ(CaptionOf(r, CardField::Day2), "Tue , Mostly Sunny . High: 41  Low: 29 ");
    EXPECT_EQ(r.picture, 35);
}

TEST(ForecastParser, ReadsTheFeedsOwnSpacingWithMetricSuffixes) {
    // The feed wrote two spaces around the condition's attributes and a
    // decimal wind speed in metric replies.
    FeedSample s;
    s.condGap = "  ";
    s.speed = "9.66";
    s.chill = "-3";
    s.temp = "-1";
    s.condText = "Light Snow";
    s.code = "14";
    ForecastResult r = ParseForecast(s.Reply(), 1);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::WTemp), "-3" + kC);
    EXPECT_EQ(CaptionOf(r, CardField::WSpeed), "9.66  kmph");
    EXPECT_EQ(CaptionOf(r, CardField::Cond), "Light Snow");
    EXPECT_EQ(r.conditionCode, "14  ");
    EXPECT_EQ(CaptionOf(r, CardField::Temp), "-1" + kC);
    EXPECT_EQ(r.picture, 15);
}

TEST(ForecastParser, UnitSuffixesDependOnExactlyOne) {
    EXPECT_EQ(std::string(TemperatureSuffix(1)), kC);
    EXPECT_EQ(std::string(SpeedSuffix(1)), "  kmph");
    for (int16_t v : {0, -1, 2}) {
        EXPECT_EQ(std::string(TemperatureSuffix(v)), kF) << v;
        EXPECT_EQ(std::string(SpeedSuffix(v)), "  mph") << v;
    }
    FeedSample s;
    EXPECT_EQ(CaptionOf(ParseForecast(s.Reply(), -1), CardField::Temp), "31" + kF);
}

TEST(ForecastParser, NegativeTemperatureKeepsItsSign) {
    FeedSample s;
    s.temp = "-5";
    EXPECT_EQ(CaptionOf(ParseForecast(s.Reply(), 0), CardField::Temp), "-5" + kF);
    EXPECT_EQ(CaptionOf(ParseForecast(s.Reply(), 1), CardField::Temp), "-5" + kC);
}

TEST(ForecastParser, TitleIsNotTrimmedAndOnlyTheFirstCounts) {
    FeedSample s;
    s.place = "  Springfield, XY  ";
    ForecastResult r = ParseForecast(s.Reply(), 0);
    ASSERT_TRUE(r.ok) << r.error;
    // The image and the item carry later <title> elements; the channel's wins.
    EXPECT_EQ(CaptionOf(r, CardField::Title), "  Springfield, XY  ");
}

TEST(ForecastParser, TitleSkipIsFixedWhateverTheLeadIn) {
    // Only 12 lead-in characters: the fixed skip runs 5 characters into the name.
    FeedSample s;
    s.lead = "Short lead: ";
    ForecastResult r = ParseForecast(s.Reply(), 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::Title), "gfield, XY");
}

TEST(ForecastParser, BuildDateIsTrimmed) {
    FeedSample s;
    s.buildDate = "  Mon, 07 Dec 2026 9:50 am XST ";
    EXPECT_EQ(CaptionOf(ParseForecast(s.Reply(), 0), CardField::DateTime),
              "at Mon, 07 Dec 2026 9:50 am XST");
}

TEST(ForecastParser, FirstLineOfFortyCharactersIsTall) {
    FeedSample s;
    s.day1.text = "Partly Cloudyy";  // one more than the worked example's 39
    ForecastResult r = ParseForecast(s.Reply(), 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::Day1).size(), 40u);
    EXPECT_TRUE(r.day1Tall);

    s.day1.text = "Fair";
    r = ParseForecast(s.Reply(), 0);
    EXPECT_FALSE(r.day1Tall);
    EXPECT_EQ(CaptionOf(r, CardField::Day1), "Mon , Fair . High: 38  Low: 25");
}

TEST(ForecastParser, FirstLineIsTrimmedSecondKeepsItsSpaces) {
    FeedSample s;
    s.day1.day = " Mon";
    s.day2.day = " Tue";
    ForecastResult r = ParseForecast(s.Reply(), 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(CaptionOf(r, CardField::Day1), "Mon , Partly Cloudy . High: 38  Low: 25");
    EXPECT_EQ(CaptionOf(r, CardField::Day2), " Tue , Mostly Sunny . High: 41  Low: 29 ");
    // The leading space does not count towards the 39 characters.
    EXPECT_FALSE(r.day1Tall);
}

TEST(ForecastParser, WindDirectionIsNeverShown) {
    FeedSample s;
    s.direction = "987654";
    ForecastResult r = ParseForecast(s.Reply(), 0);
    ASSERT_TRUE(r.ok);
    for (const auto& c : r.captions) EXPECT_EQ(c.second.find("987654"), std::string::npos);
}

TEST(ForecastParser, PictureIsCodePlusOneAndEverythingAbove47IsNotAvailable) {
    struct Case { std::string code; int picture; std::string stored; };
    const std::vector<Case> cases = {
        {"0", 1, "0 "},      {"47", 48, "47 "},   {"30", 31, "30 "},  {"48", 49, "48"},
        {"100", 49, "48"},   {"3200", 49, "48"},  {"32767", 49, "48"}, {"99999", 49, "48"},
        {"123456789012", 49, "48"}, {"+5", 6, "+5 "}, {"-0", 1, "-0 "}, {"+48", 49, "48"},
    };
    for (const auto& c : cases) {
        FeedSample s;
        s.code = c.code;
        ForecastResult r = ParseForecast(s.Reply(), 0);
        EXPECT_TRUE(r.ok) << c.code << ": " << r.error;
        EXPECT_EQ(r.picture, c.picture) << c.code;
        EXPECT_EQ(r.conditionCode, c.stored) << c.code;
        EXPECT_EQ(CaptionOf(r, CardField::Temp), "31" + kF) << c.code;
    }
}

TEST(ForecastParser, CodeWithSurroundingSpacesConvertsAsTheNumber) {
    FeedSample s;
    s.code = " 12 ";
    ForecastResult r = ParseForecast(s.Reply(), 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.picture, 13);
    EXPECT_EQ(r.conditionCode, " 12  ");
}

TEST(ForecastParser, UnusableCodeStopsAfterTheCondition) {
    const std::vector<CardField> before = {CardField::Title, CardField::DateTime, CardField::WTemp,
                                           CardField::WSpeed, CardField::Cond};
    for (std::string code : {"abc", "-1", "", "3.5", "12x", "- 3", "+", "-", "+-5", "--0", "+ 5"}) {
        FeedSample s;
        s.code = code;
        ForecastResult r = ParseForecast(s.Reply(), 0);
        SCOPED_TRACE("code \"" + code + "\"");
        ExpectFailure(r, before);
        EXPECT_EQ(CaptionOf(r, CardField::Cond), "Fair");
    }
}

TEST(ForecastParser, MissingNamesKeepTheCaptionsFoundBefore) {
    FeedSample s;
    const std::string full = s.Reply();
    auto without = [&](const std::string& what) {
        std::string t = full;
        size_t at;
        while ((at = t.find(what)) != std::string::npos) t.erase(at, what.size());
        return t;
    };
    {
        SCOPED_TRACE("no <title>");
        ExpectFailure(ParseForecast(without("<title>"), 0), {});
    }
    {
        SCOPED_TRACE("no <lastBuildDate>");
        ExpectFailure(ParseForecast(without("<lastBuildDate>"), 0), {CardField::Title});
    }
    {
        SCOPED_TRACE("no wind");
        ExpectFailure(ParseForecast(without("yweather:wind chill"), 0),
                      {CardField::Title, CardField::DateTime});
    }
    {
        SCOPED_TRACE("no direction");
        ExpectFailure(ParseForecast(without("direction="), 0),
                      {CardField::Title, CardField::DateTime});
    }
    {
        SCOPED_TRACE("no condition");
        ExpectFailure(ParseForecast(without("yweather:condition"), 0),
                      {CardField::Title, CardField::DateTime, CardField::WTemp, CardField::WSpeed});
    }
    {
        SCOPED_TRACE("no date=");  // ends the temperature and every forecast date
        ForecastResult r = ParseForecast(without("date="), 0);
        ExpectFailure(r, {CardField::Title, CardField::DateTime, CardField::WTemp,
                          CardField::WSpeed, CardField::Cond});
    }
    {
        SCOPED_TRACE("no forecast");
        ExpectFailure(ParseForecast(without("yweather:forecast day="), 0),
                      {CardField::Title, CardField::DateTime, CardField::WTemp, CardField::WSpeed,
                       CardField::Cond, CardField::Temp});
    }
}

TEST(ForecastParser, OneForecastElementIsAFault) {
    FeedSample s;
    std::string reply = s.Headers() + s.Channel() + s.Wind() + s.Middle() + s.Condition() +
                        s.Description() + FeedSample::Forecast(s.day1) + s.Tail();
    ForecastResult r = ParseForecast(reply, 0);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.picture, 49);
    EXPECT_EQ(CaptionOf(r, CardField::Temp), "31" + kF);
    ASSERT_FALSE(r.captions.empty());
    EXPECT_EQ(r.captions.back().first, CardField::Day1);
    EXPECT_EQ(CaptionOf(r, CardField::Day2), "");
}

TEST(ForecastParser, ForecastLackingAnAttributeIsAFault) {
    for (const std::string key : {"low=", "high=", "text=", "code="}) {
        FeedSample s;
        std::string f1 = FeedSample::Forecast(s.day1);
        f1.erase(f1.find(key), key.size());
        std::string reply = s.Headers() + s.Channel() + s.Wind() + s.Middle() + s.Condition() +
                            s.Description() + f1 + FeedSample::Forecast(s.day2) + s.Tail();
        ForecastResult r = ParseForecast(reply, 0);
        SCOPED_TRACE(key);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(r.picture, 49);
        EXPECT_EQ(CaptionOf(r, CardField::Temp), "31" + kF);
        ASSERT_FALSE(r.captions.empty());
        EXPECT_EQ(r.captions.back().first, CardField::Day1);
    }
}

TEST(ForecastParser, EndMarkerBeforeItsStartIsAFault) {
    FeedSample s;
    // "</title>" before "<title>": the cut would have a negative length.
    std::string reply = "HTTP/1.1 200 OK\r\nX-Note: </title>\r\n\r\n" + s.Document();
    ExpectFailure(ParseForecast(reply, 0), {});

    // A title element too short for the 17-character lead-in.
    s.lead = "";
    s.place = "Short";
    ExpectFailure(ParseForecast(s.Reply(), 0), {});
}

TEST(ForecastParser, UnknownPlaceDocumentIsAFaultAfterTheTitle) {
    const std::string reply =
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml;charset=UTF-8\r\n\r\n"
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
        "<rss version=\"2.0\" xmlns:yweather=\"http://xml.weather.yahoo.com/ns/rss/1.0\">\n"
        "<channel>\n<title>Cloudwick Feed - Error</title>\n"
        "<description>Cloudwick Feed Error</description>\n"
        "<item>\n<title>City not found</title>\n"
        "<description>Invalid Input /forecastrss?w=0</description>\n</item>\n</channel>\n</rss>\n";
    ForecastResult r = ParseForecast(reply, 0);
    ExpectFailure(r, {CardField::Title});
    EXPECT_EQ(CaptionOf(r, CardField::Title), "Error");
}

TEST(ForecastParser, EmptyAndTinyRepliesAreFaults) {
    for (const std::string reply : {"", "<", "<title>", "HTTP/1.1 404 Not Found\r\n\r\n"}) {
        ForecastResult r = ParseForecast(reply, 0);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(r.picture, 49);
    }
}

TEST(ForecastParser, CaptionOfAbsentFieldIsEmpty) {
    ForecastResult r;
    r.captions = {{CardField::Title, "T"}};
    EXPECT_EQ(CaptionOf(r, CardField::Title), "T");
    EXPECT_EQ(CaptionOf(r, CardField::Temp), "");
}
