#include "documents/feed_document.h"

#include <gtest/gtest.h>

#include "test_data.h"
#include "model/feed_dates.h"

namespace {

std::size_t At(const std::string& doc, const std::string& what, std::size_t from = 0) {
    const std::size_t p = doc.find(what, from);
    EXPECT_NE(p, std::string::npos) << "missing: " << what;
    return p;
}

TEST(WeatherDocument, TitleHasTheSeventeenCharacterLeadIn) {
    EXPECT_EQ(std::string(kTitleLeadIn).size(), 17u);
    const std::string doc = WeatherDocument(SpringfieldIl(), ExampleWeather(), Units::Imperial);
    const std::size_t t = At(doc, "<title>");
    EXPECT_EQ(doc.substr(t + 7 + 17, doc.find("</title>") - t - 24), "Springfield, IL");
    EXPECT_EQ(PlaceTitle(SpringfieldIl()), "Springfield, IL");
    Place london = SpringfieldIl();
    london.name = "London";
    london.countryCode = "GB";
    london.admin1 = "England";
    EXPECT_EQ(PlaceTitle(london), "London, GB");
}

TEST(WeatherDocument, ElementsComeInTheOldOrderWithTheDescriptionAfterTheForecasts) {
    const std::string doc = WeatherDocument(SpringfieldIl(), ExampleWeather(), Units::Imperial);
    const char* order[] = {"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>",
                           "<rss version=\"2.0\" xmlns:yweather=\"http://xml.weather.yahoo.com/ns/rss/1.0\"",
                           "<channel>\n\n<title>", "<link>", "<description>Cloudwick Feed for Springfield, IL<",
                           "<language>en-us</language>", "<lastBuildDate>", "<ttl>60</ttl>",
                           "<yweather:location ", "<yweather:units ", "<yweather:wind ", "<yweather:atmosphere ",
                           "<yweather:astronomy ", "<image>", "<item>", "<title>Conditions for", "<geo:lat>",
                           "<geo:long>", "<pubDate>", "<yweather:condition ", "<yweather:forecast ",
                           "<description><![CDATA[", "<guid isPermaLink=\"false\">", "</item>", "</channel>",
                           "</rss>"};
    std::size_t last = 0;
    for (const char* tag : order) {
        const std::size_t p = At(doc, tag, last);
        EXPECT_GE(p, last) << tag;
        last = p;
    }
    // Five forecast days, all before the description block.
    std::size_t count = 0, p = 0, lastForecast = 0;
    while ((p = doc.find("<yweather:forecast day=", p)) != std::string::npos) lastForecast = p++, ++count;
    EXPECT_EQ(count, 5u);
    EXPECT_LT(lastForecast, doc.find("<description><![CDATA["));
}

TEST(WeatherDocument, ImperialElementsHaveTheOldSpacing) {
    const std::string doc = WeatherDocument(SpringfieldIl(), ExampleWeather(), Units::Imperial);
    At(doc, "<lastBuildDate>Mon, 07 Dec 2026 9:50 am CST</lastBuildDate>\n");
    At(doc, "<yweather:location city=\"Springfield\" region=\"IL\"   country=\"United States\"/>\n");
    At(doc, "<yweather:units temperature=\"F\" distance=\"mi\" pressure=\"in\" speed=\"mph\"/>\n");
    At(doc, "<yweather:wind chill=\"28\"   direction=\"50\"   speed=\"10\" />\n");
    At(doc, "<yweather:atmosphere humidity=\"81\"  visibility=\"10\"  pressure=\"30.11\"  rising=\"\" />\n");
    At(doc, "<yweather:astronomy sunrise=\"7:08 am\"   sunset=\"4:39 pm\"/>\n");
    At(doc, "<title>Conditions for Springfield, IL at 9:50 am CST</title>\n");
    At(doc, "<yweather:condition  text=\"Mostly Sunny\"  code=\"34\"  temp=\"31\"  "
            "date=\"Mon, 07 Dec 2026 9:50 am CST\" />\n");
    At(doc, "<yweather:forecast day=\"Mon\" date=\"7 Dec 2026\" low=\"25\" high=\"38\" text=\"Partly Cloudy\" "
            "code=\"30\" />\n");
    At(doc, "<yweather:forecast day=\"Thu\" date=\"10 Dec 2026\" low=\"19\" high=\"30\" text=\"Light Snow\" "
            "code=\"14\" />\n");
}

TEST(WeatherDocument, MetricUsesDecimalSpeedsAndMetricUnits) {
    Weather w = ExampleWeather();
    w.current.windSpeed = 9.66;
    w.current.temperature = -0.4;  // rounds to 0, never "-0"
    w.current.feelsLike = -3.5;    // rounds away from zero
    const std::string doc = WeatherDocument(SpringfieldIl(), w, Units::Metric);
    At(doc, "<yweather:units temperature=\"C\" distance=\"km\" pressure=\"mb\" speed=\"km/h\"/>");
    At(doc, "<yweather:wind chill=\"-4\"   direction=\"50\"   speed=\"9.66\" />");
    At(doc, "visibility=\"16.09\"  pressure=\"1019.5\"");
    At(doc, "temp=\"0\"");
}

TEST(WeatherDocument, NightCodesAndMissingValues) {
    Weather w = ExampleWeather();
    w.current.isDay = false;
    w.current.wmoCode = 0;
    w.current.feelsLike.reset();
    w.current.windSpeed.reset();
    w.current.humidity.reset();
    w.days[1].high.reset();
    w.days[1].wmoCode.reset();
    std::string doc = WeatherDocument(SpringfieldIl(), w, Units::Imperial);
    At(doc, "text=\"Clear\"  code=\"31\"  temp=\"31\"");
    // No wind speed is not "0", and no feels-like is not the temperature:
    // what the card shows says N/A, what it never reads stays empty.
    At(doc, "<yweather:wind chill=\"N/A\"   direction=\"50\"   speed=\"N/A\" />");
    At(doc, "humidity=\"\"");
    At(doc, "high=\"N/A\" text=\"Not Available\" code=\"3200\"");
    EXPECT_EQ(doc.find("Feels like"), std::string::npos);
    EXPECT_EQ(doc.find(" mph"), std::string::npos);
    w.current.windSpeed = 10.4;
    w.current.windDirection.reset();
    doc = WeatherDocument(SpringfieldIl(), w, Units::Metric);
    At(doc, "direction=\"\"   speed=\"10.4\" />");
    At(doc, "Wind 10.4 km/h<BR />");
}

TEST(WeatherDocument, CarriesTheSourceAttributionAndIsAsciiAndLongEnough) {
    Place p = SpringfieldIl();
    p.name = "Z\xC3\xBCrich";
    const std::string doc = WeatherDocument(p, ExampleWeather(), Units::Imperial);
    At(doc, "Weather data by Open-Meteo.com");
    At(doc, "city=\"Zurich\"");
    for (unsigned char c : doc) ASSERT_LT(c, 0x80);
    // The card parses once it holds more than 2000 bytes: a shorter document
    // would never be read.
    EXPECT_GT(doc.size(), 2300u);
}

TEST(WeatherDocument, EverythingTheCardReadsFitsTheFirst2000BytesAtTheLongest) {
    const std::string reply = LongestHeaders() + WeatherDocument(LongestPlace(), LongestWeather(), Units::Metric);
    std::size_t p = reply.find("<yweather:forecast day=");
    p = reply.find("<yweather:forecast day=", p + 1);
    const std::size_t end = reply.find("/>", p);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end + 2, 2000u) << "second forecast ends at byte " << end + 2;
}

// Lord Howe Island in its winter is ten and a half hours ahead, with no
// letters for its zone: the longest text any zone needs.
TEST(WeatherDocument, TheLongestZoneTextIsWrittenWhole) {
    Place p = SpringfieldIl();
    p.timezone = "Australia/Lord_Howe";
    Weather w = ExampleWeather();
    w.utcOffsetSeconds = 10 * 3600 + 1800;
    w.current.localTime = "2026-07-08T09:50";
    const std::string doc = WeatherDocument(p, w, Units::Metric);
    At(doc, "<lastBuildDate>Wed, 08 Jul 2026 9:50 am GMT+10:30</lastBuildDate>");
    At(doc, "date=\"Wed, 08 Jul 2026 9:50 am GMT+10:30\" />");
}

TEST(DocumentServedAt, AKeptForecastServedLaterStartsAtThatDay) {
    // Made at 09:50 CST on Monday 7 December (stored a minute after the
    // source's quarter hour), served later.
    const std::string doc = WeatherDocument(SpringfieldIl(), ExampleWeather(), Units::Imperial);
    const int64_t stored = UnixFromLocal(*ReadIsoLocal("2026-12-07T09:50")) + 6 * 3600 + 60;
    const auto at = [](const char* local) { return UnixFromLocal(*ReadIsoLocal(local)) + 6 * 3600; };
    struct Case {
        const char* servedLocal;
        const char* first;  // "": not served
        int lines;
    } cases[] = {
        {"2026-12-07T09:51", "Mon", 5},
        {"2026-12-07T23:59", "Mon", 5},
        {"2026-12-08T00:00", "Tue", 4},
        {"2026-12-08T09:00", "Tue", 4},
        {"2026-12-10T12:00", "Thu", 2},
        {"2026-12-11T00:10", "", 0},  // one kept day left: the card shows two
        {"2026-12-13T00:10", "", 0},
        {"2026-12-06T12:00", "", 0},  // before it was made: not a day it holds
    };
    for (const Case& c : cases) {
        const auto served = DocumentServedAt(doc, stored, at(c.servedLocal));
        ASSERT_EQ(served.has_value(), *c.first != 0) << c.servedLocal;
        if (!served) continue;
        if (c.lines == 5) {
            EXPECT_EQ(*served, doc);
            continue;
        }
        const std::size_t first = served->find("<yweather:forecast day=");
        EXPECT_EQ(served->substr(first, 28), std::string("<yweather:forecast day=\"") + c.first + "\"") << c.servedLocal;
        int elements = 0, lines = 0;
        for (std::size_t p = served->find("<yweather:forecast "); p != std::string::npos; p = served->find("<yweather:forecast ", p + 1)) ++elements;
        for (std::size_t p = served->find(" - ", served->find("Forecast:")); p != std::string::npos; p = served->find(" - ", p + 1)) ++lines;
        EXPECT_EQ(elements, c.lines) << *served;
        EXPECT_EQ(lines, c.lines) << *served;
        const std::size_t heading = served->find("<b>Forecast:</b><BR />\n");
        EXPECT_EQ(served->substr(heading + 23, 6), std::string(c.first) + " - ") << *served;
        // The build time stays the time it was made.
        EXPECT_NE(served->find("<lastBuildDate>Mon, 07 Dec 2026 9:50 am CST</lastBuildDate>"), std::string::npos);
        EXPECT_EQ(served->find("day=\"Mon\""), std::string::npos);
    }
    // Past midnight at a place far east: its own date counts, not UTC's.
    Weather east = ExampleWeather();
    east.utcOffsetSeconds = 13 * 3600;  // Tonga
    const std::string tonga = WeatherDocument(SpringfieldIl(), east, Units::Metric);
    const int64_t madeEast = UnixFromLocal(*ReadIsoLocal("2026-12-07T09:50")) - 13 * 3600 + 30;
    const int64_t nextMidnight = UnixFromLocal(*ReadIsoLocal("2026-12-08T00:05")) - 13 * 3600;
    ASSERT_TRUE(DocumentServedAt(tonga, madeEast, nextMidnight - 600).has_value());
    EXPECT_EQ(*DocumentServedAt(tonga, madeEast, nextMidnight - 600), tonga);
    EXPECT_NE(DocumentServedAt(tonga, madeEast, nextMidnight)->find("<yweather:forecast day=\"Tue\""), std::string::npos);
    EXPECT_FALSE(DocumentServedAt("not a document", 0, 100000).has_value());
}

TEST(NotFoundDocument, IsTheShortOldStyleError) {
    const std::string doc = NotFoundDocument();
    At(doc, "<title>Cloudwick Feed - Error</title>");
    At(doc, "<title>City not found</title>");
    // Far below the card's 2000-byte threshold, so the card never shows it.
    EXPECT_LT(doc.size(), 700u);
    EXPECT_EQ(doc.find("yweather:condition"), std::string::npos);
}

TEST(Numbers, FeedSpellings) {
    EXPECT_EQ(WholeNumber(-0.4), "0");
    EXPECT_EQ(WholeNumber(-0.5), "-1");
    EXPECT_EQ(WholeNumber(27.5), "28");
    EXPECT_EQ(Decimal(9.66, 2), "9.66");
    EXPECT_EQ(Decimal(10.0, 2), "10");
    EXPECT_EQ(Decimal(10.5, 2), "10.5");
    EXPECT_EQ(Decimal(-0.001, 2), "0");
}

}  // namespace
