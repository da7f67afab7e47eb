// When a card starts the feed service beside it, and how.
#include <gtest/gtest.h>

#include "card/local_feed_service.h"

TEST(LocalFeedService, OnlyACardBuiltForThisMachineStartsIt) {
    const struct { const char* feed; const char* search; bool starts; } cases[] = {
        {"localhost", "localhost", true},
        {"127.0.0.1", "weather.example.org", true},
        {"weather.example.org", "localhost", true},
        {"weather.example.org", "places.example.org", false},
        {"LocalHost", "places.example.org", true},  // host names ignore case
        {"127.0.0.2", "places.example.org", false},  // the service binds 127.0.0.1 only
        {"", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(UsesLocalService(c.feed, c.search), c.starts) << c.feed << " " << c.search;
}

TEST(LocalFeedService, CommandLineQuotesThePathAndNamesTheCard) {
    EXPECT_EQ(LocalServiceCommandLine("C:\\Program Files\\Cloudwick\\cloudwick-feed.exe", 4242),
              "\"C:\\Program Files\\Cloudwick\\cloudwick-feed.exe\" --parent-pid 4242");
}
