#include <gtest/gtest.h>

#include <string>

#include "app/host_policy.h"

TEST(HostPolicy, UsableHostNames) {
    const std::string longest = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
                                std::string(61, 'd');
    ASSERT_EQ(longest.size(), 253u);
    struct Case {
        std::string name;
        bool usable;
    } cases[] = {
        {"weather.example.org", true}, {"localhost", true},     {"10.0.0.7", true},
        {"feed-1.corp", true},         {"a", true},             {longest, true},
        {longest + "e", false},        {"", false},             {"http://weather.example.org", false},
        {"weather.example.org:8080", false}, {"weather example", false}, {"weather..example", false},
        {".example", false},           {"-feed.corp", false},   {"feed-", false},
        {"feed.-corp", false},         {"[::1]", false},        {"m\xc3\xbcnchen.de", false},
        {"feed\tcorp", false},         {"feed.corp\r\n", false},
    };
    for (const Case& c : cases) EXPECT_EQ(UsableHostName(c.name.c_str()), c.usable) << c.name;
    EXPECT_FALSE(UsableHostName(nullptr));
}

TEST(HostPolicy, TheFirstSourceHoldingAValueDecidesAndFeedHostServesBoth) {
    const PolicyValue none;
    const auto text = [](const char* t) {
        PolicyValue v;
        v.kind = PolicyValue::Text;
        v.text = t;
        return v;
    };
    PolicyValue notText, tooLong;
    notText.kind = PolicyValue::NotText;
    tooLong.kind = PolicyValue::TooLong;
    const std::string longName(254, 'a');
    struct Case {
        PolicyValue feed[kPolicySources];
        PolicyValue place[kPolicySources];
        const char* feedName;
        const char* placeName;
        const char* feedWords;   // the problem, else what "not found" says
        const char* placeWords;
    } cases[] = {
        // Nothing set: as built, and "network error" for a name that is not found.
        {{none, none, none}, {none, none, none}, "localhost", "places.built", "", ""},
        // The machine's policy before the user's, the user's before the installer's setting.
        {{text("m.corp"), text("u.corp"), text("s.corp")}, {none, none, none}, "m.corp", "m.corp",
         "Policy FeedHost not found", "Policy FeedHost not found"},
        {{none, text("u.corp"), text("s.corp")}, {none, none, none}, "u.corp", "u.corp",
         "Policy FeedHost not found", "Policy FeedHost not found"},
        {{none, none, text("s.corp")}, {none, none, none}, "s.corp", "s.corp", "Setting FeedHost not found",
         "Setting FeedHost not found"},
        // Each value on its own.
        {{text("m.corp"), none, none}, {none, text("p.corp"), none}, "m.corp", "p.corp",
         "Policy FeedHost not found", "Policy PlaceSearchHost not found"},
        {{none, none, none}, {text("p.corp"), none, none}, "localhost", "p.corp", "",
         "Policy PlaceSearchHost not found"},
        // A value that cannot be used is said, never swapped for another host.
        {{text(""), text("u.corp"), none}, {none, none, none}, "", "", "Policy FeedHost is empty",
         "Policy FeedHost is empty"},
        {{none, text("http://x.corp/"), none}, {none, none, none}, "", "", "Policy FeedHost is not a host name",
         "Policy FeedHost is not a host name"},
        {{notText, none, none}, {text("p.corp"), none, none}, "", "p.corp", "Policy FeedHost is not a string",
         "Policy PlaceSearchHost not found"},
        {{text("m.corp"), none, none}, {none, none, tooLong}, "m.corp", "", "Policy FeedHost not found",
         "Setting PlaceSearchHost is too long"},
        {{text(longName.c_str()), none, none}, {none, none, none}, "", "", "Policy FeedHost is too long",
         "Policy FeedHost is too long"},
    };
    for (const Case& c : cases) {
        const HostNames h = ChooseHosts(c.feed, c.place, "localhost", "places.built");
        EXPECT_EQ(h.feed.name, c.feedName);
        EXPECT_EQ(h.placeSearch.name, c.placeName);
        EXPECT_EQ(h.feed.problem.empty() ? h.feed.notFound : h.feed.problem, c.feedWords);
        EXPECT_EQ(h.placeSearch.problem.empty() ? h.placeSearch.notFound : h.placeSearch.problem, c.placeWords);
        // A name is asked, or a problem said: never both.
        EXPECT_NE(h.feed.name.empty(), h.feed.problem.empty()) << c.feedWords;
    }
}
