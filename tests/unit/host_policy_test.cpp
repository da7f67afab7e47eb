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

TEST(HostPolicy, FirstUsableSourceWinsAndFeedHostServesBoth) {
    const char* none[kPolicySources] = {nullptr, nullptr, nullptr};
    struct Case {
        const char* feed[kPolicySources];
        const char* place[kPolicySources];
        const char* wantFeed;
        const char* wantPlace;
    } cases[] = {
        // Nothing set: as built.
        {{nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr}, "localhost", "places.built"},
        // The machine's policy before the user's, the user's before the installer's setting.
        {{"m.corp", "u.corp", "s.corp"}, {nullptr, nullptr, nullptr}, "m.corp", "m.corp"},
        {{nullptr, "u.corp", "s.corp"}, {nullptr, nullptr, nullptr}, "u.corp", "u.corp"},
        {{nullptr, nullptr, "s.corp"}, {nullptr, nullptr, nullptr}, "s.corp", "s.corp"},
        // Each value on its own.
        {{"m.corp", nullptr, nullptr}, {nullptr, "p.corp", nullptr}, "m.corp", "p.corp"},
        {{nullptr, nullptr, nullptr}, {"p.corp", nullptr, nullptr}, "localhost", "p.corp"},
        // Bad values are passed over: the next source, or as built.
        {{"", "bad name", "s.corp"}, {nullptr, nullptr, nullptr}, "s.corp", "s.corp"},
        {{"http://x.corp/", nullptr, nullptr}, {"", nullptr, nullptr}, "localhost", "places.built"},
    };
    for (const Case& c : cases) {
        const HostNames h = ChooseHosts(c.feed, c.place, "localhost", "places.built");
        EXPECT_STREQ(h.feed, c.wantFeed);
        EXPECT_STREQ(h.placeSearch, c.wantPlace);
    }
    EXPECT_STREQ(ChooseHosts(none, none, "a", "b").feed, "a");
}
