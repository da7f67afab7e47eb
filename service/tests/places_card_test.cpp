// Finding what users type, end to end in the service: the card's exact
// search requests against a stub Open-Meteo and a stub Nominatim on
// loopback, the replies read by the card's own place-reply parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "feed/forecast_parser.h"
#include "options/place_reply_parser.h"
#include "tests/unit/captions.h"

#include "feed/feed_service.h"
#include "places/nominatim_json.h"
#include "upstream/open_meteo_provider.h"
#include "places/place_finder.h"
#include "harness.h"
#include "linux/curl_client.h"
#include "stub_geocoders.h"

namespace {

using namespace std::chrono_literals;

const std::string kSearch = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20";

// The card sends the typed text with spaces as %20 and the rest raw.
std::string Typed(const std::string& text) {
    std::string out;
    for (char c : text) out += c == ' ' ? std::string("%20") : std::string(1, c);
    return kSearch + "'" + out + "'";
}

class PlacesAgainstStubs : public ::testing::Test {
protected:
    explicit PlacesAgainstStubs(bool withNominatim = true)
        : service_(Finder(withNominatim), ServiceRules{}, [] { return std::chrono::steady_clock::now(); },
                   [] { return int64_t{1796723400}; }),
          server_(service_) {}

    Provider& Finder(bool withNominatim) {
        client_.SetUserAgent("cloudwick-feed/1.0 (ops@example.org)");
        OpenMeteoConfig om;
        om.forecastUrl = stubs_.ForecastUrl();
        om.geocodingUrl = stubs_.GeocodingUrl();
        om.timeout = 2000ms;
        std::unique_ptr<NominatimClient> nominatim;
        if (withNominatim) {
            NominatimConfig n;
            n.baseUrl = stubs_.NominatimUrl();
            n.timeout = 2000ms;
            nominatim = std::make_unique<NominatimClient>(n, client_);
        }
        finder_ = std::make_unique<PlaceFinder>(std::make_unique<OpenMeteoProvider>(om, client_), std::move(nominatim));
        return *finder_;
    }

    std::string Reply(const std::string& target) { return CardGet(server_.port(), target).raw; }

    StubGeocoders stubs_;
    CurlClient client_;
    std::unique_ptr<PlaceFinder> finder_;
    FeedService service_;
    RunningServer server_;
};

TEST_F(PlacesAgainstStubs, WhatUsersTypeFindsTheExpectedPlaceFirst) {
    const struct {
        const char* typed;
        const char* woeid;
        const char* name;
        bool nominatim;  // found through the fallback
    } cases[] = {
        {"Paris TX", "4717560", "Paris", false},  // a qualifier without a comma
        {"Springfield IL", "4250542", "Springfield", false},  // not Missouri's, the most populous
        {"London UK", "2643743", "London", false},             // UK as GB
        {"60610", "4887398", "Chicago", false},
        {"10115", "2950159", "Berlin", false},
        {"75001", "2988507", "Paris", false},                      // before Addison, Texas
        {"SW1A 1AA", "2643743", "London", true},                   // a postcode Nominatim places in London
        {"Eiffel Tower", "20000005013364", "Paris", true},         // way 5013364
        {"Golden Gate Bridge", "20001005856457", "San Francisco", true},
        {"JFK", "30000005763040", "City of New York", true},       // relation 5763040
    };
    for (const auto& c : cases) {
        const std::size_t before = stubs_.NominatimCalls().size();
        const std::string raw = Reply(Typed(c.typed));
        ASSERT_GT(raw.size(), 1001u) << c.typed;
        const PlaceReply r = ParsePlaceReply(raw.substr(0, 1001));
        EXPECT_EQ(r.outcome, PlaceReply::Found) << c.typed;
        EXPECT_EQ(r.woeid, c.woeid) << c.typed;
        EXPECT_EQ(r.name, c.name) << c.typed;
        EXPECT_EQ(stubs_.NominatimCalls().size() > before, c.nominatim) << c.typed;
        const bool credit = raw.find("OpenStreetMap contributors, ODbL") != std::string::npos;
        EXPECT_EQ(credit, IsOsmPlaceId(std::stoll(c.woeid))) << c.typed;
    }
    // Every Nominatim request names the service and its operator.
    for (const auto& call : stubs_.NominatimCalls()) EXPECT_EQ(call.userAgent, "cloudwick-feed/1.0 (ops@example.org)");
    // The place found through Nominatim fills the card, with no new lookup.
    const std::size_t calls = stubs_.NominatimCalls().size();
    const ForecastResult w = ParseForecast(Reply("/forecastrss?w=20000005013364"), 0);
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(CaptionOf(w, CardField::Title), "Paris, FR");
    EXPECT_EQ(stubs_.NominatimCalls().size(), calls);
}

TEST_F(PlacesAgainstStubs, NoMatchAnywhereIsReadAtOnceAsNotFound) {
    const std::string raw = Reply(Typed("Atlantis"));
    ASSERT_GT(raw.size(), 1001u);
    EXPECT_EQ(ParsePlaceReply(raw.substr(0, 1001)).outcome, PlaceReply::Unusable);
    EXPECT_EQ(stubs_.NominatimCalls().size(), 1u);
    Reply(Typed("atlantis"));  // cached, also for Nominatim's sake
    EXPECT_EQ(stubs_.NominatimCalls().size(), 1u);
}

TEST_F(PlacesAgainstStubs, NominatimIsAskedAtMostOnceASecondByTheWholeService) {
    // Six cards on six machines search at once for texts Open-Meteo does
    // not know. Nominatim sees the requests one second apart; the sixth,
    // whose turn would come after more than four seconds, gets a quick 503
    // instead of a worker.
    const char* texts[] = {"Eiffel Tower", "Golden Gate Bridge", "JFK", "SW1A 1AA", "Atlantis", "Xanadu"};
    std::vector<std::string> replies(6);
    std::vector<std::thread> cards;
    for (int i = 0; i < 6; ++i) {
        cards.emplace_back([&, i] {
            replies[i] = SendRaw(server_.port(), CardRequest(Typed(texts[i])), "127.0.3." + std::to_string(i + 1)).raw;
        });
    }
    for (auto& t : cards) t.join();
    auto calls = stubs_.NominatimCalls();
    ASSERT_EQ(calls.size(), 5u);
    std::sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return a.at < b.at; });
    for (std::size_t i = 1; i < calls.size(); ++i)
        EXPECT_GE(calls[i].at - calls[i - 1].at, 990ms) << calls[i].target;
    int refused = 0;
    for (const std::string& r : replies) refused += r.rfind("HTTP/1.1 503", 0) == 0;
    EXPECT_EQ(refused, 1);
}

// One machine searching for many landmarks at once holds at most its share
// of Nominatim's turns; another machine's search still gets one, and the
// refused ones hear when to try again.
TEST_F(PlacesAgainstStubs, OneMachineCannotTakeEveryNominatimTurn) {
    const char* texts[] = {"Eiffel Tower", "Golden Gate Bridge", "JFK", "SW1A 1AA", "Atlantis"};
    std::vector<RawReply> replies(5);
    std::vector<std::thread> cards;
    for (int i = 0; i < 5; ++i)
        cards.emplace_back([&, i] { replies[i] = SendRaw(server_.port(), CardRequest(Typed(texts[i])), "127.0.4.1"); });
    for (auto& t : cards) t.join();
    const RawReply other = SendRaw(server_.port(), CardRequest(Typed("Xanadu")), "127.0.4.2");
    EXPECT_EQ(other.status, 200);
    int refused = 0;
    for (const RawReply& r : replies) {
        if (r.status != 503) continue;
        ++refused;
        // Turned away by the queue to Open-Meteo or by Nominatim's turns,
        // with the wait in the line and in Retry-After alike.
        const std::string line = r.body.substr(0, r.body.find('\n'));
        const std::string wait = "; wait " + r.header("retry-after") + " s";
        EXPECT_TRUE(line == "Place search busy" + wait || line == "Weather source busy" + wait) << line;
    }
    EXPECT_GE(refused, 1);  // its turn now and two to come, at most
    EXPECT_LE(stubs_.NominatimCalls().size(), 4u);
}

class PlacesWithoutNominatim : public PlacesAgainstStubs {
protected:
    PlacesWithoutNominatim() : PlacesAgainstStubs(false) {}
};

TEST_F(PlacesWithoutNominatim, AMissIsNotFoundAndNothingElseIsAsked) {
    EXPECT_EQ(ParsePlaceReply(Reply(Typed("Eiffel Tower"))).outcome, PlaceReply::Unusable);
    EXPECT_EQ(ParsePlaceReply(Reply(Typed("Paris TX"))).woeid, "4717560");
    EXPECT_TRUE(stubs_.NominatimCalls().empty());
    // An OpenStreetMap id is simply unknown then.
    EXPECT_NE(Reply("/forecastrss?w=20000005013364").find("City not found"), std::string::npos);
}

}  // namespace
