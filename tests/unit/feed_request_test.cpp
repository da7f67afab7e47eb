// The hand-built GET the card and the dialog send: path rules and the exact
// bytes on the wire.
#include <gtest/gtest.h>

#include "app/get_request.h"
#include "feed/feed_request.h"

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
              "GET /forecastrss?w=2442047&u=c HTTP/1.1\r\n"
              "Accept: */*\r\n"
              "Accept-Language: en-us\r\n"
              "Accept-Encoding: \r\n"
              "User-Agent: \r\n"
              "Host: feed.example.test\r\n"
              "Connection: Keep-Alive\r\n"
              "\r\n");
}
