// The log an operator reads: client bytes escaped, and a flood from one
// address folded into a count per interval.
#include "http/request_log.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kT = 1796723400;  // 2026-12-08T09:50:00Z, the start of an interval

TEST(RequestLogLine, NothingAClientSendsCanBreakTheLine) {
    ServiceReply r;
    r.status = 400;
    r.body = "x";
    r.reason = "unreadable\r\nrequest";
    const std::string line = RequestLogLine(kT, "192.0.2.7", "G\x1b[2JET", "/\r\nX: y\x0b\"\\\x7f\xff", r);
    EXPECT_EQ(line, "2026-12-08T09:50:00Z 192.0.2.7 \"G\\x1B[2JET /\\x0D\\x0AX: y\\x0B\\x22\\x5C\\x7F\\xFF\" 400 1 "
                    "reason=\"unreadable\\x0D\\x0Arequest\"\n");
    EXPECT_EQ(line.find('\n'), line.size() - 1);
}

TEST(LogFolder, AnAddressGetsItsFirstLinesThenACountPerInterval) {
    LogFolder f(LogFolder::Rules{10, 3, 100});
    int written = 0;
    for (int i = 0; i < 1000; ++i) written += f.Admit("192.0.2.7", i % 10 == 0 ? 429 : 200, kT + i / 200);
    for (int i = 0; i < 5; ++i) written += f.Admit("192.0.2.8", 200, kT + 5);
    EXPECT_EQ(written, 6);
    EXPECT_TRUE(f.HasFolded());
    EXPECT_EQ(f.Summaries(kT + 9), "");  // the interval has not ended
    EXPECT_EQ(f.Summaries(kT + 10),
              "2026-12-08T09:50:10Z 192.0.2.7 997 more requests in 10 s not logged one by one (200: 898, 429: 99)\n"
              "2026-12-08T09:50:10Z 192.0.2.8 2 more requests in 10 s not logged one by one (200: 2)\n");
    EXPECT_FALSE(f.HasFolded());
    // A new interval: the address is heard again.
    EXPECT_TRUE(f.Admit("192.0.2.7", 200, kT + 11));
}

TEST(LogFolder, AfterAFoldedIntervalTheAddressIsLoggedAgainAndCounted) {
    // Nobody asks for the count lines while the burst goes on: the next
    // request after the interval brings them, and is logged itself.
    LogFolder f(LogFolder::Rules{10, 20, 100});
    int written = 0;
    for (int i = 0; i < 30; ++i) written += f.Admit("192.0.2.9", 200, kT);
    EXPECT_EQ(written, 20);
    EXPECT_TRUE(f.HasFolded());
    for (int64_t later : {kT + 95, kT + 210}) {
        EXPECT_TRUE(f.Admit("192.0.2.9", 200, later)) << later;
        written = 1;
        for (int i = 0; i < 25; ++i) written += f.Admit("192.0.2.9", 200, later);
        EXPECT_EQ(written, 20);
    }
    EXPECT_EQ(f.Summaries(kT + 211),
              "2026-12-08T09:50:10Z 192.0.2.9 10 more requests in 10 s not logged one by one (200: 10)\n"
              "2026-12-08T09:51:40Z 192.0.2.9 6 more requests in 10 s not logged one by one (200: 6)\n");
    EXPECT_EQ(f.Summaries(kT + 220), "2026-12-08T09:53:40Z 192.0.2.9 6 more requests in 10 s not logged one by one (200: 6)\n");
    EXPECT_FALSE(f.HasFolded());
}

TEST(LogFolder, TheTableOfAddressesIsBounded) {
    LogFolder f(LogFolder::Rules{10, 1, 50});
    int written = 0;
    for (int i = 0; i < 10000; ++i) written += f.Admit("10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250), 200, kT);
    EXPECT_EQ(written, 50);
    EXPECT_EQ(f.Summaries(kT, true),
              "2026-12-08T09:50:00Z (other addresses) 9950 more requests in 10 s not logged one by one (200: 9950)\n");
}

}  // namespace
