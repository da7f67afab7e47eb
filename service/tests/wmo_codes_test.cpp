#include "documents/wmo_codes.h"

#include <gtest/gtest.h>

namespace {

const int kDocumentedWmo[] = {0,  1,  2,  3,  45, 48, 51, 53, 55, 56, 57, 61, 63, 65,
                              66, 67, 71, 73, 75, 77, 80, 81, 82, 85, 86, 95, 96, 99};

TEST(WmoMapping, ClearAndCloudCodesHaveDayAndNightVariants) {
    EXPECT_EQ(ConditionFromWmo(0, true).code, 32);   // sunny
    EXPECT_EQ(ConditionFromWmo(0, false).code, 31);  // clear (night)
    EXPECT_EQ(ConditionFromWmo(1, true).code, 34);   // fair (day)
    EXPECT_EQ(ConditionFromWmo(1, false).code, 33);  // fair (night)
    EXPECT_EQ(ConditionFromWmo(2, true).code, 30);   // partly cloudy (day)
    EXPECT_EQ(ConditionFromWmo(2, false).code, 29);  // partly cloudy (night)
    EXPECT_EQ(ConditionFromWmo(0, true).text, "Sunny");
    EXPECT_EQ(ConditionFromWmo(0, false).text, "Clear");
}

TEST(WmoMapping, PrecipitationMapsToMatchingFeedCodes) {
    EXPECT_EQ(ConditionFromWmo(45, true).code, 20);  // fog -> foggy
    EXPECT_EQ(ConditionFromWmo(53, true).code, 9);   // drizzle
    EXPECT_EQ(ConditionFromWmo(56, true).code, 8);   // freezing drizzle
    EXPECT_EQ(ConditionFromWmo(66, false).code, 10); // freezing rain, same at night
    EXPECT_EQ(ConditionFromWmo(75, true).code, 41);  // heavy snow
    EXPECT_EQ(ConditionFromWmo(85, true).code, 46);  // snow showers
    EXPECT_EQ(ConditionFromWmo(95, true).code, 4);   // thunderstorms
    EXPECT_EQ(ConditionFromWmo(99, true).code, 3);   // with hail: severe
}

TEST(WmoMapping, EveryDocumentedCodeGivesARealPicture) {
    for (int wmo : kDocumentedWmo) {
        for (bool day : {true, false}) {
            const Condition c = ConditionFromWmo(wmo, day);
            EXPECT_GE(c.code, 0) << wmo;
            EXPECT_LE(c.code, 47) << wmo;
            EXPECT_FALSE(c.text.empty()) << wmo;
            // Short enough for the card's condition label, and nothing the
            // card's scanner could mistake for markup.
            EXPECT_LE(c.text.size(), 20u) << c.text;
            EXPECT_EQ(c.text.find_first_of("<>\"=/:"), std::string::npos) << c.text;
        }
    }
}

TEST(WmoMapping, MissingOrUnknownCodeIsNotAvailable) {
    for (std::optional<int> wmo : {std::optional<int>{}, std::optional<int>{4}, std::optional<int>{100},
                                   std::optional<int>{-1}}) {
        const Condition c = ConditionFromWmo(wmo, true);
        EXPECT_EQ(c.code, 3200);
        EXPECT_EQ(c.text, "Not Available");
    }
}

}  // namespace
