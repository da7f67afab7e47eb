#include "config/command_line.h"

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

    const CommandLineResult limits =
        ParseCommandLine({"--upstream-concurrency", "2", "--call-limits", "250,2250,4500", "--client-calls-per-minute",
                          "30", "--trust-proxy", "127.0.0.1,[::1]", "--listen", "[::1]:8080"});
    ASSERT_TRUE(limits.ok) << limits.error;
    EXPECT_EQ(limits.options.upstreamConcurrency, 2);
    EXPECT_EQ(limits.options.callsPerMinute, 250);
    EXPECT_EQ(limits.options.callsPerHour, 2250);
    EXPECT_EQ(limits.options.callsPerDay, 4500);
    EXPECT_EQ(limits.options.clientCallsPerMinute, 30);
    EXPECT_EQ(limits.options.trustedProxies, (std::vector<std::string>{"127.0.0.1", "::1"}));
    // Written as the server compares them: a dual-stack socket's peer 127.0.0.1 is that proxy.
    EXPECT_EQ(ParseCommandLine({"--trust-proxy", "::FFFF:127.0.0.1,0:0::0:1"}).options.trustedProxies,
              (std::vector<std::string>{"127.0.0.1", "::1"}));
    EXPECT_EQ(limits.options.host, "::1");
    EXPECT_EQ(ListenAddress(limits.options.host, 8080), "[::1]:8080");
    EXPECT_TRUE(ParseCommandLine({}).options.trustedProxies.empty());
    const CommandLine hosts = ParseCommandLine({"--allowed-host", "Weather.Example.org,[::1],192.0.2.1"}).options;
    EXPECT_EQ(hosts.allowedHosts, (std::vector<std::string>{"weather.example.org", "[::1]", "192.0.2.1"}));
    EXPECT_TRUE(hosts.allowedHostsGiven);
    EXPECT_EQ(ParseCommandLine({}).options.allowedHosts,
              (std::vector<std::string>{"localhost", "127.0.0.1", "[::1]"}));
    EXPECT_EQ(ParseCommandLine({"--listen", "[::]:80"}).options.host, "::");
    EXPECT_EQ(ParseCommandLine({"--listen", "localhost:80"}).options.host, "localhost");
}

TEST(CommandLine, AWrongListenAddressSaysWhatIsWrong) {
    struct Case {
        const char* value;
        const char* says;
    } cases[] = {
        {"::1:80", "put an IPv6 address in brackets, as [::1]:80"},
        {"[::1]80", "an IPv6 address goes in brackets, then a colon and the port"},
        {"[::1:80", "an IPv6 address goes in brackets"},
        {"[hello]:80", "\"hello\" is not an IPv6 address"},
        {"300.1.1.1:80", "\"300.1.1.1\" is not an IPv4 address or a host name"},
        {"127.0.0.1:http", "the port must be a number from 0 to 65535"},
        {"8080", "wants ADDR:PORT"},
    };
    for (const Case& c : cases) {
        const CommandLineResult r = ParseCommandLine({"--listen", c.value});
        EXPECT_FALSE(r.ok) << c.value;
        EXPECT_NE(r.error.find(c.says), std::string::npos) << c.value << ": " << r.error;
        EXPECT_NE(r.error.find("[::1]:80"), std::string::npos) << "an example: " << r.error;
    }
}

TEST(CommandLine, RefusesBadValuesWithAReason) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--listen", "8080"}, {"--listen", "127.0.0.1:70000"}, {"--listen", ":80"},
          {"--provider", "yahoo"}, {"--forecast-url", "ftp://x"}, {"--threads", "0"}, {"--fixed-time", "today"},
          {"--upstream-timeout-ms"}, {"--upstream-concurrency", "0"}, {"--call-limits", "1,2"}, {"--client-calls-per-minute", "0"}, {"--parent-pid", "0"}, {"--parent-pid", "4294967296"}, {"--parent-pid", "-1"}, {"--verbose", "1"}, {"extra"},
          // Only named proxies are trusted; a bare flag would trust anyone.
          {"--trust-proxy"}, {"--trust-proxy", "yes"}, {"--trust-proxy", "127.0.0.1,"}, {"--trust-proxy", "proxy.local"},
          {"--allowed-host", ""}, {"--allowed-host", "a b"}, {"--allowed-host", "evil.example:80"}}) {
        const CommandLineResult r = ParseCommandLine(args);
        EXPECT_FALSE(r.ok) << args[0];
        EXPECT_FALSE(r.error.empty());
    }
}

}  // namespace
