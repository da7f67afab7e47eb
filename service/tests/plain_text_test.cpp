#include "documents/card_text.h"
#include "documents/script_fallback.h"
#include "model/utf8.h"

#include <vector>

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

// Names in scripts the card cannot show, through ICU's "Any-Latin;
// Latin-ASCII" (the hand-made table this replaced gave "Da Lt" and dropped
// CJK names whole, leaving "Place 9000014").
TEST(CardText, OtherScriptsAreTransliterated) {
    const struct {
        const char* utf8;
        const char* shown;
    } cases[] = {
        {"\xC4\x90\xC3\xA0 L\xE1\xBA\xA1t", "Da Lat"},                                        // Vietnamese
        {"H\xC3\xA0 N\xE1\xBB\x99i", "Ha Noi"},
        {"\xE5\x8C\x97\xE4\xBA\xAC\xE5\xB8\x82", "Bei Jing Shi"},                               // Beijing
        {"\xE6\x9D\xB1\xE4\xBA\xAC", "Dong Jing"},                                              // Tokyo in kanji
        {"\xEC\x84\x9C\xEC\x9A\xB8", "Seoul"},                                                  // Hangul
        {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "Moskva"},                         // Cyrillic
        {"\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1", "Athena"},                                 // Greek
        {"\xE2\x80\x99s-Hertogenbosch", "'s-Hertogenbosch"},
        {"Zu\xCC\x88rich", "Zurich"},                                                           // a combining accent
        {"  New \xE6\x9D\xB1  York  ", "New dong York"},  // mixed with Latin: no capitals added
        {"a\xFF" "b", "ab"},                                                                    // stray byte
        {"\xF0\x9F\x8C\xA7", ""},                                                               // nothing to spell
    };
    for (const auto& c : cases) EXPECT_EQ(CardText(c.utf8, 40), c.shown) << c.utf8;
}

std::string Utf8(uint32_t cp) {
    std::string s;
    if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    s += static_cast<char>(0x80 | (cp & 0x3F));
    return s;
}

// The Windows program's table without icu.dll gives what ICU gives: for
// every Latin letter one by one (so the Wine test's names come out the same
// bytes as on Linux), and for whole names in the scripts it covers.
TEST(FallbackLatinAscii, AgreesWithIcu) {
    for (uint32_t cp = 0xA0; cp <= 0x24F; ++cp)
        EXPECT_EQ(FallbackLatinAscii(Utf8(cp)), SystemLatinAscii(Utf8(cp))) << std::hex << cp;
    for (uint32_t cp = 0x1E00; cp <= 0x1EFF; ++cp)
        EXPECT_EQ(FallbackLatinAscii(Utf8(cp)), SystemLatinAscii(Utf8(cp))) << std::hex << cp;
    for (const char* name : {"Z\xC3\xBCrich", "\xC4\x90\xC3\xA0 L\xE1\xBA\xA1t", "Th\xC3\xA0nh ph\xE1\xBB\x91 H\xE1\xBB\x93 Ch\xC3\xAD Minh",
                             "\xE5\x8C\x97\xE4\xBA\xAC\xE5\xB8\x82", "\xEC\x84\x9C\xEC\x9A\xB8\xED\x8A\xB9\xEB\xB3\x84\xEC\x8B\x9C",
                             "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD0\xB8\xD0\xB1\xD0\xB8\xD1\x80\xD1\x81\xD0\xBA",
                             "\xC3\x86r\xC3\xB8sk\xC3\xB8" "bing", "\xE2\x80\x99s-Hertogenbosch"}) {
        EXPECT_EQ(FallbackLatinAscii(name), SystemLatinAscii(name)) << name;
    }
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

TEST(Utf8, StepsOverMalformedBytesToTheNextCodePoint) {
    // A stray continuation byte, a truncated sequence at the end.
    const std::string s = "a\x80\xC3\xA9\xF0\x9F\x8C\xA7\xE2\x82";
    std::vector<uint32_t> got;
    uint32_t cp;
    for (std::size_t i = 0; NextUtf8(s, i, cp);) got.push_back(cp);
    EXPECT_EQ(got, (std::vector<uint32_t>{'a', 0xE9, 0x1F327}));
}

}  // namespace
