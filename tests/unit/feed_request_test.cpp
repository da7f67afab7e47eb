// The hand-built GET the card and the dialog send: path rules and the exact
// bytes on the wire.
#include <gtest/gtest.h>

#include "app/get_request.h"
#include "feed/feed_request.h"
#include "card_request_golden.h"

TEST(FeedRequest, PathAddsMetricOnlyForExactlyOne) {
    EXPECT_EQ(FeedPath("2442047", 1), "/forecastrss?w=2442047&u=c");
    EXPECT_EQ(FeedPath("2442047", 0), "/forecastrss?w=2442047");
    EXPECT_EQ(FeedPath("2442047", -1), "/forecastrss?w=2442047");
    EXPECT_EQ(FeedPath("2442047", 2), "/forecastrss?w=2442047");
}

TEST(FeedRequest, PathKeepsTheWoeidAsStored) {
    EXPECT_EQ(FeedPath(" 2442047 ", 0), "/forecastrss?w= 2442047 ");
    EXPECT_EQ(FeedPath("", 1), "/forecastrss?w=&u=c");
}

TEST(FeedRequest, RequestIsByteForByteTheCardsFormat) {
    EXPECT_EQ(BuildGetRequest("/forecastrss?w=2442047&u=c", "feed.example.test"),
              GoldenCardRequest("/forecastrss?w=2442047&u=c", "feed.example.test"));
}
