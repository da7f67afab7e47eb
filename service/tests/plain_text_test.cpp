#include "core/plain_text.h"

#include <gtest/gtest.h>

namespace {

TEST(CardText, AccentedLatinLettersLoseTheirAccents) {
    EXPECT_EQ(CardText("Z\xC3\xBCrich", 40), "Zurich");
    EXPECT_EQ(CardText("S\xC3\xA3o Paulo", 40), "Sao Paulo");
    EXPECT_EQ(CardText("\xC5\x81\xC3\xB3" "d\xC5\xBA", 40), "Lodz");
    EXPECT_EQ(CardText("Gro\xC3\x9F" "beeren", 40), "Grossbeeren");
    EXPECT_EQ(CardText("Bra\xC8\x99ov", 40), "Brasov");
    EXPECT_EQ(CardText("\xC3\x86r\xC3\xB8", 40), "AEro");
}

TEST(CardText, KeepsOnlyHarmlessPunctuation) {
    EXPECT_EQ(CardText("St. John's", 40), "St. John's");
    EXPECT_EQ(CardText("Halle (Saale)", 40), "Halle (Saale)");
    EXPECT_EQ(CardText("Stratford-upon-Avon, GB", 40), "Stratford-upon-Avon, GB");
    // Markup and the names the card searches for cannot get through.
    const std::string evil = CardText("x\"/><title>yweather:wind chill=\"1\" & <woeid>", 80);
    EXPECT_EQ(evil.find_first_of("<>\"=/:&"), std::string::npos) << evil;
    EXPECT_EQ(CardText("Bozen/Bolzano", 40), "Bozen Bolzano");
}

TEST(CardText, DropsUnmappableScriptsAndSqueezesSpaces) {
    EXPECT_EQ(CardText("\xE6\x9D\xB1\xE4\xBA\xAC", 40), "");          // Tokyo in kanji
    EXPECT_EQ(CardText("  New \xE6\x9D\xB1  York  ", 40), "New York");
    EXPECT_EQ(CardText("a\xFF" "b", 40), "ab");                          // stray byte
}

TEST(CardText, CutsToTheLimitWithoutTrailingSpace) {
    EXPECT_EQ(CardText("Llanfair pwllgwyngyll", 9), "Llanfair");
    EXPECT_EQ(CardText(std::string(100, 'a'), 40).size(), 40u);
}

TEST(SearchText, ReadsWindows1252WhenTheBytesAreNotUtf8) {
    EXPECT_EQ(SearchText("Z\xFCrich", 100), "Z\xC3\xBCrich");
    EXPECT_EQ(SearchText("\x8A" "ibenik", 100), "\xC5\xA0ibenik");  // 0x8A is S with caron
    EXPECT_EQ(SearchText("Z\xC3\xBCrich", 100), "Z\xC3\xBCrich");    // already UTF-8: kept
}

TEST(SearchText, ControlCharactersBecomeSpacesAndEndsAreTrimmed) {
    EXPECT_EQ(SearchText("  New\r\nYork\t ", 100), "New York");
    EXPECT_EQ(SearchText(std::string("a\0b", 3), 100), "a b");
}

TEST(SearchText, CutsOnACharacterBoundary) {
    const std::string s = SearchText("ab\xC3\xBC\xC3\xBC", 4);  // a b u-umlaut u-umlaut
    EXPECT_EQ(s, "ab\xC3\xBC");
    EXPECT_TRUE(IsValidUtf8(s));
}

TEST(Utf8, RejectsOverlongSurrogatesAndTruncatedSequences) {
    EXPECT_TRUE(IsValidUtf8("plain \xC3\xA9 \xF0\x9F\x8C\xA7"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));
}

}  // namespace
