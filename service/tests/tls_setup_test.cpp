// The feed service's WinHTTP session asks for TLS 1.2, and a Windows that
// cannot (7 SP1 or 8.0 without update KB3140245) is told apart from a
// certificate problem: the option call is the seam.
#include <gtest/gtest.h>

#include <vector>

#include "windows/tls_setup.h"

using namespace tls_setup;

TEST(TlsSetup, TheSessionAsksForTls12OnEveryWindowsThatHasIt) {
    const struct {
        const char* windows;
        std::vector<unsigned> accepted;  // protocol sets the option call takes
        bool tls12;
        unsigned set;
    } cases[] = {
        {"11 (1.2 and 1.3)", {kTls12 | kTls13, kTls12 | kTls11}, true, kTls12 | kTls13},
        {"10, 8.1, 7 SP1 with the update", {kTls12 | kTls11}, true, kTls12 | kTls11},
        {"7 SP1 or 8.0 without the update", {}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        std::vector<unsigned> asked;
        const SessionTls got = EnableModernTls([&](unsigned protocols) {
            asked.push_back(protocols);
            for (unsigned a : c.accepted)
                if (a == protocols) return true;
            return false;
        });
        EXPECT_EQ(got.tls12, c.tls12);
        EXPECT_EQ(got.protocols, c.set);
        ASSERT_FALSE(asked.empty());
        for (unsigned a : asked) {
            EXPECT_TRUE(a & kTls12) << "every request includes TLS 1.2";
            EXPECT_FALSE(a & kTls10) << "TLS 1.0 is never asked for";
        }
    }
}

TEST(TlsSetup, AFailedHandshakeWithoutTls12NamesTheUpdate) {
    const SessionTls without{false, 0}, with{true, kTls12 | kTls11};
    EXPECT_EQ(SecureFailureText(without, "TLS certificate not accepted"), "Windows needs update KB3140245");
    EXPECT_EQ(SecureFailureText(with, "TLS certificate not accepted"), "TLS certificate not accepted");
    // Short enough for the card's forecast line, plain ASCII.
    const std::string reason = NeedsUpdateReason();
    EXPECT_LE(reason.size(), 40u);
    for (char ch : reason) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F);
    EXPECT_NE(std::string(NeedsUpdateLog()).find("KB3140245"), std::string::npos);
    EXPECT_EQ(std::string(NeedsUpdateLog()).find("certificate"), std::string::npos);
}
