// The four text operations both replies are read with: 1-based positions,
// exact comparisons, and no reads outside the text for bad positions.
#include <gtest/gtest.h>

#include "app/text_scan.h"

TEST(TextScanFind, ReturnsOneBasedPositionFromStart) {
    EXPECT_EQ(Find("abcabc", 1, "bc"), 2);
    EXPECT_EQ(Find("abcabc", 2, "bc"), 2);  // a match at `from` itself counts
    EXPECT_EQ(Find("abcabc", 3, "bc"), 5);
    EXPECT_EQ(Find("abcabc", 1, "abcabc"), 1);
}

TEST(TextScanFind, GivesZeroWhenAbsentOrOutOfRange) {
    EXPECT_EQ(Find("abcabc", 6, "bc"), 0);
    EXPECT_EQ(Find("abcabc", 1, "x"), 0);
    EXPECT_EQ(Find("abc", 1, "abcd"), 0);
    EXPECT_EQ(Find("", 1, "a"), 0);
    EXPECT_EQ(Find("abcabc", 0, "bc"), 0);   // a failed earlier search gives 0
    EXPECT_EQ(Find("abcabc", -5, "bc"), 0);
    EXPECT_EQ(Find("abcabc", 100, "bc"), 0);
}

TEST(TextScanFind, IsCaseSensitive) {
    EXPECT_EQ(Find("<Title><title>", 1, "<title>"), 8);
    EXPECT_EQ(Find("SPEED=", 1, "speed="), 0);
}

TEST(TextScanCut, TakesFromUpToButNotIncludingTo) {
    EXPECT_EQ(Cut("abcdef", 2, 4), "bc");
    EXPECT_EQ(Cut("abcdef", 1, 7), "abcdef");
    EXPECT_EQ(Cut("abcdef", 5, 100), "ef");  // fewer when the text ends first
}

TEST(TextScanCut, IsEmptyForBadPositions) {
    EXPECT_EQ(Cut("abcdef", 3, 3), "");
    EXPECT_EQ(Cut("abcdef", 4, 2), "");    // negative length
    EXPECT_EQ(Cut("abcdef", 0, 3), "");    // start 0 from a failed search
    EXPECT_EQ(Cut("abcdef", -3, 3), "");
    EXPECT_EQ(Cut("abcdef", 7, 9), "");    // starts past the end
    EXPECT_EQ(Cut("abcdef", 50, 90), "");
    EXPECT_EQ(Cut("", 1, 2), "");
}

TEST(TextScanTrim, RemovesOnlyOuterSpaces) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");   // only U+0020 counts as a space
    EXPECT_EQ(Trim("\r\n x \r\n"), "\r\n x \r\n");
}

TEST(TextScanUnquote, RemovesEveryDoubleQuote) {
    EXPECT_EQ(Unquote("\"28\""), "28");
    EXPECT_EQ(Unquote("a\"b\"\"c"), "abc");
    EXPECT_EQ(Unquote("'x'"), "'x'");
    EXPECT_EQ(Unquote("\"\"\""), "");
}
