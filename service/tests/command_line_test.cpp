#include "core/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, DefaultsServeTheCardOnPort80WithLiveData) {
    const CommandLineResult r = ParseCommandLine({});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.options.host, "127.0.0.1");
    EXPECT_EQ(r.options.port, 80);
    EXPECT_EQ(r.options.provider, "open-meteo");
    EXPECT_EQ(r.options.upstreamTimeoutMs, 5000);
    EXPECT_FALSE(r.options.help);
}

TEST(CommandLine, ReadsEveryOption) {
    const CommandLineResult r = ParseCommandLine({"--listen", "0.0.0.0:8080", "--provider", "sample",
                                                  "--forecast-url", "http://127.0.0.1:9/v1/forecast/",
                                                  "--geocoding-url", "http://127.0.0.1:9/v1", "--upstream-timeout-ms",
                                                  "250", "--threads", "4", "--fixed-time", "2026-12-08T09:50",
                                                  "--parent-pid", "4294967295"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.host, "0.0.0.0");
    EXPECT_EQ(r.options.port, 8080);
    EXPECT_EQ(r.options.provider, "sample");
    EXPECT_EQ(r.options.forecastUrl, "http://127.0.0.1:9/v1/forecast");
    EXPECT_EQ(r.options.geocodingUrl, "http://127.0.0.1:9/v1");
    EXPECT_EQ(r.options.upstreamTimeoutMs, 250);
    EXPECT_EQ(r.options.threads, 4);
    EXPECT_EQ(r.options.fixedTimeUnix, 1796723400);
    EXPECT_EQ(r.options.parentPid, 4294967295);
    EXPECT_EQ(ParseCommandLine({}).options.parentPid, 0);
    EXPECT_TRUE(ParseCommandLine({"--help"}).options.help);
}

TEST(CommandLine, RefusesBadValuesWithAReason) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--listen", "8080"}, {"--listen", "127.0.0.1:70000"}, {"--listen", ":80"},
          {"--provider", "yahoo"}, {"--forecast-url", "ftp://x"}, {"--threads", "0"}, {"--fixed-time", "today"},
          {"--upstream-timeout-ms"}, {"--parent-pid", "0"}, {"--parent-pid", "4294967296"}, {"--parent-pid", "-1"}, {"--verbose", "1"}, {"extra"}}) {
        const CommandLineResult r = ParseCommandLine(args);
        EXPECT_FALSE(r.ok) << args[0];
        EXPECT_FALSE(r.error.empty());
    }
}

}  // namespace
