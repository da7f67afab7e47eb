// The parts of finding what users type: reading a typed search, the
// OpenStreetMap place ids, Nominatim's JSON and the once-a-second gate.
#include <gtest/gtest.h>

#include <vector>

#include "places/nominatim_client.h"
#include "places/nominatim_json.h"
#include "places/search_terms.h"
#include "upstream/rate_gate.h"

namespace {

TEST(SearchTerms, QualifiersWithAndWithoutACommaAndPostcodes) {
    const struct {
        const char* typed;
        const char* name;
        const char* qualifier;
        bool postcode;
        const char* postcodeCountry;
    } cases[] = {
        {"Paris TX", "Paris", "TX", false, ""},
        {"Springfield IL", "Springfield", "IL", false, ""},
        {"London UK", "London", "UK", false, ""},
        {"Springfield, IL", "Springfield", "IL", false, ""},
        {"Paris, Texas", "Paris", "Texas", false, ""},
        {"New York USA", "New York", "USA", false, ""},
        {"Eiffel Tower", "Eiffel Tower", "", false, ""},  // a last word of five letters is part of the name
        {"Dar es Salaam", "Dar es Salaam", "", false, ""},
        {"TX", "TX", "", false, ""},                      // nothing left to be the name
        {"Paris,", "Paris,", "", false, ""},
        {"60610", "60610", "", true, ""},
        {"10115", "10115", "", true, ""},
        {"75001", "75001", "", true, ""},
        {"60610-1234", "60610-1234", "", true, ""},
        {"SW1A 1AA", "SW1A 1AA", "", true, "GB"},
        {"sw1a1aa", "sw1a1aa", "", true, "GB"},
        {"M1 1AE", "M1 1AE", "", true, "GB"},
        {"K1A 0B1", "K1A 0B1", "", true, "CA"},
        {"1012 JS", "1012 JS", "", true, "NL"},
        {"JFK", "JFK", "", false, ""},
    };
    for (const auto& c : cases) {
        const SearchTerms t = ReadSearchTerms(c.typed);
        EXPECT_EQ(t.name, c.name) << c.typed;
        EXPECT_EQ(t.qualifier, c.qualifier) << c.typed;
        EXPECT_EQ(t.postcode, c.postcode) << c.typed;
        EXPECT_EQ(t.postcodeCountry, c.postcodeCountry) << c.typed;
    }
}

TEST(SearchTerms, WhatAQualifierNames) {
    Place il;
    il.countryCode = "US";
    il.country = "United States";
    il.admin1 = "Illinois";
    Place gb;
    gb.countryCode = "GB";
    gb.country = "United Kingdom";
    gb.admin1 = "England";
    Place idf;
    idf.countryCode = "FR";
    idf.country = "France";
    idf.admin1 = "\xC3\x8Ele-de-France";
    for (const char* q : {"IL", "il", "Illinois", "US", "USA", "United States"}) EXPECT_TRUE(InQualifier(il, q)) << q;
    for (const char* q : {"TX", "GB", "Texas"}) EXPECT_FALSE(InQualifier(il, q)) << q;
    for (const char* q : {"UK", "GB", "England", "united kingdom"}) EXPECT_TRUE(InQualifier(gb, q)) << q;
    EXPECT_FALSE(InQualifier(gb, "US"));
    EXPECT_TRUE(InQualifier(idf, "Ile-de-France"));  // accents do not matter
    EXPECT_EQ(QualifierCountry("UK"), "GB");
    EXPECT_EQ(QualifierCountry("usa"), "US");
    EXPECT_EQ(QualifierCountry("Texas"), "");
}

TEST(OsmPlaceIds, NeverMeetGeoNamesIdsAndLeadBackToTheirObject) {
    EXPECT_EQ(OsmPlaceId('N', 107775), 10000000107775);
    EXPECT_EQ(OsmPlaceId('W', 5013364), 20000005013364);
    EXPECT_EQ(OsmPlaceId('R', 5763040), 30000005763040);
    EXPECT_EQ(OsmPlaceId('N', 12999999999), 10012999999999);  // node ids are past 12 billion
    const OsmRef r = OsmRefOf(20000005013364);
    EXPECT_EQ(r.type, 'W');
    EXPECT_EQ(r.id, 5013364);
    // GeoNames ids (up to 32 bits), and the edges of the OSM range.
    for (int64_t id : {int64_t{1}, int64_t{2950159}, int64_t{4294967295}, int64_t{9999999999999}, kOsmIdBase,
                       4 * kOsmIdBase, int64_t{-20000005013364}}) {
        EXPECT_FALSE(IsOsmPlaceId(id)) << id;
    }
    EXPECT_EQ(OsmPlaceId('X', 1), 0);
    EXPECT_EQ(OsmPlaceId('N', kOsmIdBase), 0);
    EXPECT_EQ(OsmPlaceId('N', 0), 0);
}

TEST(NominatimJson, ReadsTownsFromAddressesInBothNumberForms) {
    const auto found = ReadNominatimJson(
        "[{\"osm_type\":\"way\",\"osm_id\":5013364,\"lat\":\"48.8582599\",\"lon\":\"2.2945006\","
        "\"name\":\"Eiffel Tower\",\"address\":{\"man_made\":\"Eiffel Tower\",\"city\":\"Paris\","
        "\"state\":\"\xC3\x8Ele-de-France\",\"postcode\":\"75007\",\"country\":\"France\",\"country_code\":\"fr\"}},"
        "{\"osm_type\":\"node\",\"osm_id\":\"107775\",\"lat\":51.5,\"lon\":-0.12,\"name\":\"London\"},"
        "{\"lat\":\"51.50\",\"lon\":\"-0.14\",\"name\":\"SW1A 1AA\",\"address\":{\"city\":\"London\",\"country_code\":\"gb\"}},"
        "{\"osm_type\":\"area\",\"osm_id\":1,\"lat\":\"1\",\"lon\":\"1\",\"name\":\"x\"},"
        "{\"osm_type\":\"node\",\"osm_id\":2,\"lat\":\"91\",\"lon\":\"1\",\"name\":\"x\"},"
        "{\"osm_type\":\"node\",\"osm_id\":3,\"lat\":\"1e\",\"lon\":\"1\",\"name\":\"x\"},"
        "{\"osm_type\":\"node\",\"osm_id\":4,\"lat\":\"1\",\"lon\":\"1\"},"
        "\"not an object\"]");
    ASSERT_TRUE(found.ok);
    ASSERT_EQ(found.value.size(), 3u);
    const Place& tower = found.value[0];
    EXPECT_EQ(tower.id, 20000005013364);
    EXPECT_EQ(tower.name, "Paris");
    EXPECT_EQ(tower.countryCode, "FR");
    EXPECT_EQ(tower.admin1, "\xC3\x8Ele-de-France");
    EXPECT_EQ(tower.postcode, "75007");
    EXPECT_DOUBLE_EQ(tower.latitude, 48.8582599);
    EXPECT_EQ(found.value[1].id, 10000000107775);
    EXPECT_EQ(found.value[1].name, "London");
    EXPECT_EQ(found.value[2].id, 0);  // no OSM object: the caller finds the town
    EXPECT_EQ(found.value[2].countryCode, "GB");

    EXPECT_TRUE(ReadNominatimJson("[]").ok);
    for (const char* bad : {"", "{\"error\":{\"code\":400,\"message\":\"x\"}}", "[", "null"})
        EXPECT_FALSE(ReadNominatimJson(bad).ok) << bad;
}

TEST(NominatimClient, RequestsAsThePolicyAndTheCardWantThem) {
    EXPECT_EQ(NominatimSearchUrl("http://n", "SW1A 1AA", "GB"),
              "http://n/search?q=SW1A%201AA&format=jsonv2&addressdetails=1&accept-language=en&limit=5&countrycodes=gb");
    EXPECT_EQ(NominatimSearchUrl("http://n", "JFK&x=1", ""),
              "http://n/search?q=JFK%26x%3D1&format=jsonv2&addressdetails=1&accept-language=en&limit=5");
    EXPECT_EQ(NominatimLookupUrl("http://n", 20000005013364),
              "http://n/lookup?osm_ids=W5013364&format=jsonv2&addressdetails=1&accept-language=en");
}

// A clock that moves only when the gate sleeps.
struct FakeTime {
    std::chrono::steady_clock::time_point now{std::chrono::seconds(1000)};
    std::vector<std::chrono::steady_clock::time_point> woke;
};

TEST(RateGate, OneTurnPerSpacingAndNoLongQueue) {
    using namespace std::chrono_literals;
    FakeTime t;
    RateGate gate(1000ms, 2500ms, [&t] { return t.now; },
                  [&t](std::chrono::steady_clock::duration d) { t.woke.push_back(t.now + d); });
    // Four callers at the same moment: turns at +0, +1 s and +2 s; the
    // fourth would wait 3 s and is turned away without taking a turn.
    EXPECT_TRUE(gate.Enter());
    EXPECT_TRUE(gate.Enter());
    EXPECT_TRUE(gate.Enter());
    EXPECT_FALSE(gate.Enter());
    ASSERT_EQ(t.woke.size(), 2u);
    EXPECT_EQ(t.woke[0] - t.now, 1000ms);
    EXPECT_EQ(t.woke[1] - t.now, 2000ms);
    // Later, the queue has drained: the next caller goes at once.
    t.now += 5s;
    EXPECT_TRUE(gate.Enter());
    EXPECT_EQ(t.woke.size(), 2u);
}

// One client cannot take every turn to come; a refusal says honestly when
// asking again can succeed.
TEST(RateGate, EachClientHoldsAtMostItsShareOfTheTurnsToCome) {
    using namespace std::chrono_literals;
    FakeTime t;
    RateGate gate(1000ms, 4000ms, [&t] { return t.now; }, [](std::chrono::steady_clock::duration) {}, 2);
    int wait = 0;
    EXPECT_TRUE(gate.Enter("192.0.2.1", &wait));   // now
    EXPECT_TRUE(gate.Enter("192.0.2.1", &wait));   // +1 s
    EXPECT_TRUE(gate.Enter("192.0.2.1", &wait));   // +2 s
    EXPECT_FALSE(gate.Enter("192.0.2.1", &wait));  // two turns to come are its share...
    EXPECT_EQ(wait, 1);                            // ...until the first of them has come
    EXPECT_TRUE(gate.Enter("192.0.2.2", &wait));   // +3 s: another client is not held up
    EXPECT_TRUE(gate.Enter("192.0.2.3", &wait));   // +4 s
    EXPECT_FALSE(gate.Enter("192.0.2.4", &wait));  // +5 s is past the longest wait...
    EXPECT_EQ(wait, 1);                            // ...by one second
    t.now += 1500ms;
    EXPECT_TRUE(gate.Enter("192.0.2.1", &wait));  // its first turn has passed
}

// Nominatim's pace is the service's own: a search turned away for it is
// not a failure of the source (no hold-off, the source not shown failing)
// and asks for the right wait.
TEST(NominatimClient, ItsFullQueueIsALocalRefusal) {
    using namespace std::chrono_literals;
    struct NeverCalled : UpstreamClient {
        int calls = 0;
        UpstreamReply Get(const std::string&, std::chrono::milliseconds) override {
            ++calls;
            UpstreamReply r;
            r.transportOk = true;
            r.status = 200;
            r.body = "[]";
            return r;
        }
    } upstream;
    FakeTime t;
    NominatimConfig cfg;
    cfg.baseUrl = "http://n";
    cfg.clock = [&t] { return t.now; };
    cfg.sleep = [](std::chrono::steady_clock::duration) {};
    NominatimClient nominatim(cfg, upstream);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(nominatim.Search("Eiffel Tower", "", "192.0.2." + std::to_string(i)).ok);
    const auto refused = nominatim.Search("Big Ben", "GB", "192.0.2.9");
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.asked);
    EXPECT_EQ(refused.trouble, Trouble::SearchBusy);
    EXPECT_EQ(refused.retryAfter, 1);
    EXPECT_EQ(upstream.calls, 5);
}

}  // namespace
