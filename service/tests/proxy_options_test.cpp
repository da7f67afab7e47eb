// A company proxy: the options that name it, the line a 407 gives, and a
// call the proxy refused given back to the budget.
#include <gtest/gtest.h>

#include "config/command_line.h"
#include "model/trouble_kinds.h"
#include "upstream/call_budget.h"

namespace {

TEST(ProxyOptions, ProxyAndNoProxyAreReadOrRefusedWithAReason) {
    const CommandLineResult r =
        ParseCommandLine({"--proxy", "proxy.corp.example:8080", "--no-proxy", ".corp.example,10.0.0.5"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.proxy, "proxy.corp.example:8080");
    EXPECT_EQ(r.options.noProxy, ".corp.example,10.0.0.5");
    EXPECT_EQ(ParseCommandLine({"--proxy", "http://10.0.0.1:3128"}).options.proxy, "http://10.0.0.1:3128");
    EXPECT_EQ(ParseCommandLine({}).options.proxy, "");
    EXPECT_TRUE(IsFileOption("proxy"));
    EXPECT_TRUE(IsFileOption("no-proxy"));

    struct Bad {
        std::vector<std::string> args;
        const char* says;
    } bad[] = {
        {{"--proxy", ""}, "--proxy wants one proxy"},
        {{"--proxy", "a:1,b:2"}, "--proxy wants one proxy"},
        {{"--proxy", "a:1;b:2"}, "--proxy wants one proxy"},
        {{"--proxy", "proxy corp:80"}, "--proxy wants one proxy"},
        {{"--proxy", std::string(256, 'p')}, "--proxy wants one proxy"},
        {{"--no-proxy", "a, b"}, "--no-proxy wants host names"},
        {{"--no-proxy", std::string(1025, 'n')}, "--no-proxy wants host names"},
        {{"--proxy"}, ""},
    };
    for (const Bad& b : bad) {
        const CommandLineResult e = ParseCommandLine(b.args);
        EXPECT_FALSE(e.ok) << b.args[0];
        EXPECT_NE(e.error.find(b.says), std::string::npos) << e.error;
    }
}

TEST(ProxyOptions, A407HasALineThatFitsTheCard) {
    const std::string line = TroubleLine(Trouble::ProxyNeedsPassword, 30);
    EXPECT_EQ(line, "The proxy asks for a password");
    EXPECT_LE(line.size(), kMaxTroubleLine);
    EXPECT_EQ(TroubleStatus(Trouble::ProxyNeedsPassword), 503);
    EXPECT_NE(std::string(TroubleDetail(Trouble::ProxyNeedsPassword)).find("407"), std::string::npos);
}

TEST(ProxyOptions, ACallThatNeverReachedTheSourceIsGivenBack) {
    int64_t now = 86400 * 100;
    CallBudget budget({3, 5, 7, 100}, [&] { return now; });
    ASSERT_TRUE(budget.TryTake(kOneCall, CallPurpose::New));
    ASSERT_TRUE(budget.TryTake(kOneCall, CallPurpose::New));
    budget.GiveBack(kOneCall);
    EXPECT_EQ(budget.InUse().minute, kOneCall);
    EXPECT_EQ(budget.InUse().day, kOneCall);
    // Given back after its minute rolled over: the new minute stays empty,
    // the hour and the day lose the call.
    now += 60;
    budget.GiveBack(kOneCall);
    EXPECT_EQ(budget.InUse().minute, 0);
    EXPECT_EQ(budget.InUse().hour, 0);
    budget.GiveBack(kOneCall);  // never below nothing
    EXPECT_EQ(budget.InUse().day, 0);
}

}  // namespace
