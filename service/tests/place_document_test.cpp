#include "documents/place_document.h"

#include <gtest/gtest.h>

#include "test_data.h"

namespace {

constexpr int64_t kCreated = 1796723400;  // 2026-12-08T09:50:00Z

TEST(PlaceDocument, EmptyResultIsAValidDocumentWithNoPlace) {
    const std::string doc = PlaceSearchDocument({}, kCreated);
    EXPECT_NE(doc.find("yahoo:count=\"0\""), std::string::npos);
    EXPECT_NE(doc.find("<results/>"), std::string::npos);
    EXPECT_EQ(doc.find("<woeid>"), std::string::npos);
    EXPECT_GT(doc.size(), 1000u);  // so the card reads it at once, as not found
    EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<query xmlns:yahoo=", 0), 0u);
}

TEST(PlaceDocument, OnePlaceHasTheChildrenTheCardReads) {
    const std::string doc = PlaceSearchDocument({SpringfieldIl()}, kCreated);
    EXPECT_NE(doc.find("yahoo:count=\"1\" yahoo:created=\"2026-12-08T09:50:00Z\" yahoo:lang=\"en-US\""),
              std::string::npos);
    const std::size_t woeid = doc.find("<woeid>4250542</woeid>");
    const std::size_t locality = doc.find("<locality1 type=\"Town\" woeid=\"4250542\">Springfield</locality1>");
    ASSERT_NE(woeid, std::string::npos);
    ASSERT_NE(locality, std::string::npos);
    EXPECT_LT(woeid, locality);
    // The other children, in the old order.
    std::size_t last = 0;
    for (const char* tag : {"<place xml:lang=\"en-US\" xmlns=\"http://where.yahooapis.com/v1/schema.rng\" "
                            "yahoo:uri=\"http://where.yahooapis.com/v1/place/4250542\">",
                            "<woeid>", "<placeTypeName code=\"7\">Town</placeTypeName>", "<name>Springfield</name>",
                            "<country code=\"US\" type=\"Country\" woeid=\"6252001\">United States</country>",
                            "<admin1 code=\"US-IL\" type=\"State\"", "<admin2 ", "<admin3/>", "<locality1 ",
                            "<locality2/>", "<postal", "<centroid><latitude>39.80172</latitude>", "<boundingBox>",
                            "<areaRank>", "<popRank>", "<timezone type=\"Time Zone\"", "</place>"}) {
        const std::size_t p = doc.find(tag, last);
        ASSERT_NE(p, std::string::npos) << tag;
        last = p;
    }
    EXPECT_NE(doc.find("based on GeoNames"), std::string::npos);
    EXPECT_EQ(doc.find("OpenStreetMap"), std::string::npos);
    EXPECT_GT(doc.size(), 1000u);  // the card parses only past 1000 bytes
}

TEST(PlaceDocument, PlacesFromOpenStreetMapCarryItsCredit) {
    Place tower = SpringfieldIl();
    tower.id = 20000005013364;  // way 5013364
    const std::string doc = PlaceSearchDocument({SpringfieldIl(), tower}, kCreated);
    EXPECT_NE(doc.find("<woeid>20000005013364</woeid>"), std::string::npos);
    EXPECT_NE(doc.find("(c) OpenStreetMap contributors, ODbL 1.0, openstreetmap.org/copyright"), std::string::npos);
}

TEST(PlaceDocument, TheFirstPlaceFitsTheCardsWindowAtTheLongest) {
    const std::string reply = LongestPlaceHeaders() + PlaceSearchDocument({LongestPlace(), LongestPlace()}, kCreated);
    const std::size_t end = reply.find("</locality1>");
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end + 12, 1000u) << "first locality ends at byte " << end + 12;
}

TEST(PlaceDocument, TheShortestMatchIsStillOver1000Bytes) {
    Place p;
    p.id = 1;
    p.name = "Ab";
    const std::string doc = PlaceSearchDocument({p}, kCreated);
    EXPECT_GT(doc.size(), 1000u);
    EXPECT_NE(doc.find("<country/><admin1/><admin2/><admin3/>"), std::string::npos);
}

TEST(PlaceDocument, AtMostTenPlaces) {
    std::vector<Place> many(25, SpringfieldIl());
    const std::string doc = PlaceSearchDocument(many, kCreated);
    EXPECT_NE(doc.find("yahoo:count=\"10\""), std::string::npos);
    std::size_t n = 0;
    for (std::size_t p = doc.find("<place "); p != std::string::npos; p = doc.find("<place ", p + 1)) ++n;
    EXPECT_EQ(n, 10u);
}

TEST(PlaceDocument, NamesAreCleanedForTheCard) {
    Place p = SpringfieldIl();
    p.name = "K\xC3\xB6ln</locality1><woeid>1";
    const std::string doc = PlaceSearchDocument({p}, kCreated);
    EXPECT_NE(doc.find(">Koln locality1 woeid 1</locality1>"), std::string::npos) << doc;
    std::size_t woeids = 0;
    for (std::size_t at = doc.find("<woeid>"); at != std::string::npos; at = doc.find("<woeid>", at + 1)) ++woeids;
    EXPECT_EQ(woeids, 1u);
}

}  // namespace
