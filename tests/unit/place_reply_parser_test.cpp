// ParsePlaceReply: the WOEID between the first woeid tags, the name cut at
// the fixed offset after "<locality1 type=", and the three outcomes.
#include <gtest/gtest.h>

#include <string>

#include "options/place_reply_parser.h"
#include "place_sample.h"

TEST(PlaceReplyParser, FoundTownGivesWoeidAndName) {
    const std::string reply = SpringfieldReply();
    ASSERT_GT(reply.size(), 1000u);
    PlaceReply r = ParsePlaceReply(reply);
    EXPECT_EQ(r.outcome, PlaceReply::Found);
    EXPECT_TRUE(r.woeidCut);
    EXPECT_EQ(r.woeid, "1234567");
    EXPECT_TRUE(r.nameCut);
    EXPECT_EQ(r.name, "Springfield");
}

TEST(PlaceReplyParser, BareLocalityIsRejectedButStillCut) {
    // No attribute after the type: the cut is the bare name, holding no ">".
    PlaceReply r = ParsePlaceReply(PlaceReplyText(PlaceElement(
        "1234567", "Springfield", "<locality1 type=\"Town\">Springfield</locality1>")));
    EXPECT_EQ(r.outcome, PlaceReply::Rejected);
    EXPECT_TRUE(r.woeidCut);
    EXPECT_EQ(r.woeid, "1234567");
    EXPECT_TRUE(r.nameCut);
    EXPECT_EQ(r.name, "Springfield");
}

TEST(PlaceReplyParser, EmptyAttributeValueIsRejected) {
    PlaceReply r = ParsePlaceReply(PlaceReplyText(PlaceElement(
        "1234567", "Springfield", "<locality1 type=\"Town\" woeid=\"\">Springfield</locality1>")));
    EXPECT_EQ(r.outcome, PlaceReply::Rejected);
    EXPECT_EQ(r.woeid, "1234567");
    EXPECT_EQ(r.name, "Springfield");
}

TEST(PlaceReplyParser, OffsetsAreFixedWhateverTheTypeName) {
    // A six-letter type shifts the cut by two: the "value" is then `="1`,
    // still not empty, and the name is the text after the ">".
    PlaceReply r = ParsePlaceReply(PlaceReplyText(PlaceElement(
        "222", "Downtown", "<locality1 type=\"Suburb\" woeid=\"1\">Downtown</locality1>")));
    EXPECT_EQ(r.outcome, PlaceReply::Found);
    EXPECT_EQ(r.woeid, "222");
    EXPECT_EQ(r.name, "Downtown");
}

TEST(PlaceReplyParser, OnlyTheFirstPlaceCounts) {
    const std::string places =
        PlaceElement("1234567", "Springfield", TownLocality("1234567", "Springfield")) +
        PlaceElement("7654321", "Springfield", TownLocality("7654321", "Springfield East"));
    PlaceReply r = ParsePlaceReply(PlaceReplyText(places, 2));
    EXPECT_EQ(r.outcome, PlaceReply::Found);
    EXPECT_EQ(r.woeid, "1234567");
    EXPECT_EQ(r.name, "Springfield");
}

TEST(PlaceReplyParser, LocalityBeforeTheWoeidIsSkipped) {
    const std::string reply = "<locality1 type=\"Town\" woeid=\"9\">Early</locality1>" + SpringfieldReply();
    PlaceReply r = ParsePlaceReply(reply);
    EXPECT_EQ(r.outcome, PlaceReply::Found);
    EXPECT_EQ(r.name, "Springfield");
}

TEST(PlaceReplyParser, MissingTagsAreUnusable) {
    const std::string full = SpringfieldReply();
    for (const std::string tag : {"<woeid>", "</woeid>", "<locality1 type=", "</locality1>"}) {
        std::string t = full;
        size_t at;
        while ((at = t.find(tag)) != std::string::npos) t.erase(at, tag.size());
        EXPECT_EQ(ParsePlaceReply(t).outcome, PlaceReply::Unusable) << tag;
    }
    // No match: count 0 and an empty result list, padded past 1000 bytes.
    EXPECT_EQ(ParsePlaceReply(PlaceReplyText("<results/>" + std::string(1200, ' '), 0)).outcome,
              PlaceReply::Unusable);
    EXPECT_EQ(ParsePlaceReply("").outcome, PlaceReply::Unusable);
    EXPECT_EQ(ParsePlaceReply(std::string(1500, '<')).outcome, PlaceReply::Unusable);
}

TEST(PlaceReplyParser, NegativeCutsAreUnusable) {
    // The closing woeid tag before the opening one.
    EXPECT_EQ(ParsePlaceReply("</woeid>" + SpringfieldReply()).outcome, PlaceReply::Unusable);
    // The closing locality tag inside the 23 skipped characters.
    EXPECT_EQ(ParsePlaceReply(PlaceReplyText(PlaceElement(
                  "1", "X", "<locality1 type=\"X\"></locality1>")))
                  .outcome,
              PlaceReply::Unusable);
    // A ">" within the first 8 characters of the cut: the value length is negative.
    EXPECT_EQ(ParsePlaceReply(PlaceReplyText(PlaceElement(
                  "1", "X", "<locality1 type=\"Town\" w=\"1\">Town</locality1>")))
                  .outcome,
              PlaceReply::Unusable);
}

TEST(PlaceReplyParser, WoeidAndNameRules) {
    // The woeid and the name go onto lines of the settings file and into the
    // feed's request: a woeid that is not plain digits (spaces around them
    // aside) or a name holding a control character is no place at all.
    struct Row {
        const char* woeid;
        std::string name;
        PlaceReply::Outcome outcome;
        const char* wantWoeid;  // null: no woeid handed out
    } rows[] = {
        {"12345\r\n1", "Springfield", PlaceReply::Unusable, nullptr},
        {"12345\n", "Springfield", PlaceReply::Unusable, nullptr},
        {"\t12345", "Springfield", PlaceReply::Unusable, nullptr},
        {"+12345", "Springfield", PlaceReply::Unusable, nullptr},
        {"-1", "Springfield", PlaceReply::Unusable, nullptr},
        {"12 345", "Springfield", PlaceReply::Unusable, nullptr},
        {"0x1F", "Springfield", PlaceReply::Unusable, nullptr},
        {"   ", "Springfield", PlaceReply::Unusable, nullptr},
        {"  2459115 ", "Springfield", PlaceReply::Found, "2459115"},
        {"007", "Springfield", PlaceReply::Found, "007"},
        {"2459115", "Spring\r\nfield", PlaceReply::Unusable, nullptr},
        {"2459115", "Springfield\r\n", PlaceReply::Unusable, nullptr},
        {"2459115", "Spring\tfield", PlaceReply::Unusable, nullptr},
        {"2459115", "Spring\x7F" "field", PlaceReply::Unusable, nullptr},
        {"2459115", std::string("Spring\0field", 12), PlaceReply::Unusable, nullptr},
        {"2459115", "Z\xC3\xBCrich", PlaceReply::Found, "2459115"},  // UTF-8 letters are text
        {"2459115", "Caf\xE9", PlaceReply::Found, "2459115"},        // and so are ANSI ones
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.woeid) + " " + testing::PrintToString(row.name));
        PlaceReply r = ParsePlaceReply(PlaceReplyText(PlaceElement(row.woeid, "X", TownLocality("1", row.name))));
        EXPECT_EQ(r.outcome, row.outcome);
        EXPECT_EQ(r.woeidCut, row.wantWoeid != nullptr);
        if (row.wantWoeid) {
            EXPECT_EQ(r.woeid, row.wantWoeid);
            EXPECT_EQ(r.name, row.name);
        } else {
            EXPECT_FALSE(r.nameCut);
        }
    }
    // A bare locality with a line break in it is not found either, not "Easy boy".
    EXPECT_EQ(ParsePlaceReply(PlaceReplyText(PlaceElement(
                  "1", "X", "<locality1 type=\"Town\">Spring\r\nfield</locality1>")))
                  .outcome,
              PlaceReply::Unusable);
}
