// The real cloudwick-feed program, started as the README says (on a free
// high port instead of 80), with the built-in sample data.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include "harness.h"
#include "stub_geocoders.h"
#include "stub_upstream.h"
#include "sample_json.h"

extern char** environ;

namespace {

// Runs the program with `args`; stderr goes to a temporary file.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        char tmpl[] = "/tmp/cloudwick-feed-test-XXXXXX";
        const int fd = mkstemp(tmpl);
        stderrPath_ = tmpl;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fd, 2);
        posix_spawn_file_actions_adddup2(&fa, fd, 1);
        args.insert(args.begin(), CLOUDWICK_FEED_BINARY);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, CLOUDWICK_FEED_BINARY, &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(fd);
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        unlink(stderrPath_.c_str());
    }
    // Waits for the exit; -1 when it does not end within `limit`.
    int Wait(std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    void Signal(int sig) { kill(pid_, sig); }
    std::string Output() const {
        std::ifstream in(stderrPath_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool WaitForPort(int port) {
        for (int i = 0; i < 300; ++i) {
            if (CardGet(port, "/health").status == 200) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    std::string stderrPath_;
};

TEST(Program, HelpExplainsTheOptions) {
    Program p({"--help"});
    EXPECT_EQ(p.Wait(), 0);
    const std::string out = p.Output();
    for (const char* opt : {"--listen", "--provider", "--forecast-url", "--geocoding-url", "--help"})
        EXPECT_NE(out.find(opt), std::string::npos) << opt;
}

TEST(Program, BadOptionsExitWithAReason) {
    Program p({"--provider", "yahoo"});
    EXPECT_EQ(p.Wait(), 2);
    EXPECT_NE(p.Output().find("open-meteo or sample"), std::string::npos);
}

TEST(Program, SampleProviderServesTheCardAndStopsOnSigterm) {
    const int port = FreePort();
    Program p({"--provider", "sample", "--listen", "127.0.0.1:" + std::to_string(port), "--fixed-time",
               "2026-12-08T15:50"});
    ASSERT_TRUE(p.WaitForPort(port)) << p.Output();

    const RawReply weather = CardGet(port, "/forecastrss?w=4250542");
    EXPECT_EQ(weather.status, 200);
    EXPECT_NE(weather.body.find("<lastBuildDate>Tue, 08 Dec 2026 9:50 am CST</lastBuildDate>"), std::string::npos)
        << weather.body;
    const RawReply place = CardGet(
        port, "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20'Springfield'");
    EXPECT_EQ(place.status, 200);
    EXPECT_NE(place.body.find("<woeid>4250542</woeid>"), std::string::npos);

    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    const std::string log = p.Output();
    EXPECT_NE(log.find("listening on 127.0.0.1:" + std::to_string(port)), std::string::npos) << log;
    EXPECT_NE(log.find("\"GET /forecastrss?w=4250542\" 200"), std::string::npos) << log;
    EXPECT_NE(log.find("\"GET /v1/public/yql?q="), std::string::npos) << log;
}

// The card closes its socket as soon as it holds enough bytes, often while
// the reply is still being written.
TEST(Program, ClientsThatHangUpEarlyDoNotHurtTheService) {
    const int port = FreePort();
    Program p({"--provider", "sample", "--listen", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(p.WaitForPort(port)) << p.Output();
    const std::string request = CardRequest("/forecastrss?w=4250542");
    for (int i = 0; i < 50; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        const bool whole = i % 2 == 1;
        send(fd, request.data(), whole ? request.size() : request.size() / 2, MSG_NOSIGNAL);
        if (whole && i % 3 == 0) {  // read the first bytes of the reply, like the card
            char buf[100];
            recv(fd, buf, sizeof buf, 0);
        }
        linger hard{1, 0};  // reset, not a polite close
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        close(fd);
    }
    EXPECT_EQ(CardGet(port, "/forecastrss?w=4250542").status, 200);
    EXPECT_EQ(p.Wait(std::chrono::milliseconds(100)), -1);  // still running
}

// IPv6 loopback and the any-address, in brackets as --listen takes them.
TEST(Program, ListensOnIpv6AddressesAndSaysWhenAnAddressIsWrong) {
    const int port = FreePort();
    Program any({"--provider", "sample", "--listen", "[::]:" + std::to_string(port)});
    ASSERT_TRUE(any.WaitForPort(port)) << any.Output();  // IPv4 clients too
    EXPECT_NE(any.Output().find("listening on [::]:" + std::to_string(port)), std::string::npos) << any.Output();
    any.Signal(SIGTERM);
    EXPECT_EQ(any.Wait(), 0);

    const int fd = socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    const bool haveIpv6 = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0) close(fd);
    if (haveIpv6) {
        Program loopback({"--provider", "sample", "--listen", "[::1]:" + std::to_string(port)});
        std::string out;
        for (int i = 0; i < 300 && out.find("listening") == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            out = loopback.Output();
        }
        EXPECT_NE(out.find("listening on [::1]:" + std::to_string(port)), std::string::npos) << out;
    }

    Program unbracketed({"--listen", "::1:80"});
    EXPECT_EQ(unbracketed.Wait(), 2);
    EXPECT_NE(unbracketed.Output().find("put an IPv6 address in brackets, as [::1]:80"), std::string::npos);
    // A well-formed address this machine does not have: exit 1 and why.
    Program absent({"--provider", "sample", "--listen", "192.0.2.1:" + std::to_string(port)});
    EXPECT_EQ(absent.Wait(), 1);
    EXPECT_NE(absent.Output().find("cannot listen on 192.0.2.1:" + std::to_string(port) +
                                   ": this machine has no such address"),
              std::string::npos)
        << absent.Output();
}

TEST(Program, APortInUseIsReported) {
    const int port = FreePort();
    Program first({"--provider", "sample", "--listen", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(first.WaitForPort(port));
    Program second({"--provider", "sample", "--listen", "127.0.0.1:" + std::to_string(port)});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_NE(second.Output().find("cannot listen"), std::string::npos);
    EXPECT_NE(second.Output().find("in use"), std::string::npos) << second.Output();
}

// Started by a program with --parent-pid, the service ends with it; a
// parent that is not running ends the service at once (exit 4).
TEST(Program, EndsShortlyAfterItsParent) {
    pid_t parent = -1;
    char sleepPath[] = "/bin/sleep", seconds[] = "60";
    char* sleepArgv[] = {sleepPath, seconds, nullptr};
    ASSERT_EQ(posix_spawn(&parent, sleepPath, nullptr, nullptr, sleepArgv, environ), 0);
    const int port = FreePort();
    Program p({"--provider", "sample", "--listen", "127.0.0.1:" + std::to_string(port), "--parent-pid",
               std::to_string(parent)});
    ASSERT_TRUE(p.WaitForPort(port)) << p.Output();
    kill(parent, SIGKILL);
    waitpid(parent, nullptr, 0);
    EXPECT_EQ(p.Wait(std::chrono::milliseconds(5000)), 0);
    EXPECT_NE(p.Output().find("has ended; stopping"), std::string::npos) << p.Output();

    Program orphan({"--provider", "sample", "--listen", "127.0.0.1:" + std::to_string(port), "--parent-pid",
                    std::to_string(parent)});
    EXPECT_EQ(orphan.Wait(), 4);
}

// A card that stored a place found through Nominatim keeps working after
// the service restarts: the id alone leads back to the same OpenStreetMap
// object, and so to the same place and name.
TEST(Program, AnOpenStreetMapPlaceIdStillWorksAfterARestart) {
    StubGeocoders stubs;
    const int port = FreePort();
    const std::vector<std::string> args = {"--listen", "127.0.0.1:" + std::to_string(port), "--forecast-url",
                                           stubs.ForecastUrl(), "--geocoding-url", stubs.GeocodingUrl(),
                                           "--nominatim-url", stubs.NominatimUrl(), "--contact", "ops@example.org"};
    std::string found;
    {
        Program first(args);
        ASSERT_TRUE(first.WaitForPort(port)) << first.Output();
        const RawReply r = CardGet(
            port, "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20'Eiffel%20Tower'");
        const std::size_t at = r.body.find("<woeid>");
        ASSERT_NE(at, std::string::npos) << r.body;
        found = r.body.substr(at + 7, r.body.find("</woeid>") - at - 7);
        EXPECT_EQ(found, "20000005013364");
        EXPECT_NE(first.Output().find("Nominatim at " + stubs.NominatimUrl()), std::string::npos) << first.Output();
    }  // killed
    Program second(args);
    ASSERT_TRUE(second.WaitForPort(port)) << second.Output();
    const RawReply weather = CardGet(port, "/forecastrss?w=" + found);
    EXPECT_EQ(weather.status, 200);
    EXPECT_NE(weather.body.find("<title>Cloudwick Feed - Paris, FR</title>"), std::string::npos) << weather.body;
    const auto calls = stubs.NominatimCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].target.rfind("/lookup?osm_ids=W5013364&", 0), 0u) << calls[1].target;
    EXPECT_EQ(calls[1].userAgent, "cloudwick-feed/1.0 (ops@example.org)");
}

// --state-dir: the last good forecast and the budget outlive the process.
// Started again twenty minutes on with the source gone, the program serves
// the kept document unchanged, marked stale, with no call to anyone.
TEST(Program, TheStateFolderKeepsTheLastWeatherAcrossARestart) {
    char folder[] = "/tmp/cloudwick-feed-state-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string state = std::string(folder) + "/state";
    const int port = FreePort();
    std::string good;
    std::vector<std::string> args;
    {
        StubGeocoders stubs;
        args = {"--listen", "127.0.0.1:" + std::to_string(port), "--forecast-url", stubs.ForecastUrl(),
                "--geocoding-url", stubs.GeocodingUrl(), "--nominatim-url", "off", "--state-dir", state,
                "--fixed-time", "2026-12-08T15:50"};
        Program first(args);
        ASSERT_TRUE(first.WaitForPort(port)) << first.Output();
        const RawReply r = CardGet(port, "/forecastrss?w=4250542");
        ASSERT_EQ(r.status, 200) << r.raw;
        EXPECT_EQ(r.header("warning"), "");
        good = r.body;
    }  // killed, and the source is gone
    std::ifstream budget(state + "/budget.state");
    EXPECT_TRUE(budget.good()) << "the budget is kept";
    args.back() = "2026-12-08T16:10";
    Program second(args);
    ASSERT_TRUE(second.WaitForPort(port)) << second.Output();
    const RawReply kept = CardGet(port, "/forecastrss?w=4250542");
    EXPECT_EQ(kept.status, 200);
    EXPECT_EQ(kept.header("warning"), "110 - \"Response is Stale\"");
    EXPECT_EQ(kept.body, good);
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}

// A forecast kept at 15:50 UTC, and the program started again with its
// clock behind that (5 h, as on a dual-boot PC; a year): the kept forecast
// is not trusted as fresh, the source is asked, and max-age stays within
// the quarter hour.
TEST(Program, AClockBehindAKeptForecastFetchesAfresh) {
    for (const char* behind : {"2026-12-08T10:50", "2025-12-08T15:50"}) {
        char folder[] = "/tmp/cloudwick-feed-state-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        const std::string state = std::string(folder) + "/state";
        StubUpstream stub;
        const int port = FreePort();
        std::vector<std::string> args = {"--listen", "127.0.0.1:" + std::to_string(port), "--forecast-url",
                                         stub.ForecastUrl(), "--geocoding-url", stub.GeocodingUrl(),
                                         "--nominatim-url", "off", "--state-dir", state, "--fixed-time",
                                         "2026-12-08T15:50"};
        {
            Program first(args);
            ASSERT_TRUE(first.WaitForPort(port)) << first.Output();
            ASSERT_EQ(CardGet(port, "/forecastrss?w=4250542").status, 200);
        }
        EXPECT_EQ(stub.forecastCalls(), 1);
        args.back() = behind;
        Program second(args);
        ASSERT_TRUE(second.WaitForPort(port)) << second.Output();
        const RawReply r = CardGet(port, "/forecastrss?w=4250542");
        EXPECT_EQ(r.status, 200) << behind;
        EXPECT_EQ(stub.forecastCalls(), 2) << behind << ": the source is asked again";
        EXPECT_EQ(r.header("warning"), "") << behind;
        const std::string cc = r.header("cache-control");
        const std::size_t at = cc.find("max-age=");
        ASSERT_NE(at, std::string::npos) << cc;
        EXPECT_LE(std::stol(cc.substr(at + 8)), 900) << behind << " " << cc;
        std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    }
}

// Made on Tuesday 8 December, served on Wednesday with the source down:
// the lines start at Wednesday out of the kept days, the build time stays.
TEST(Program, AKeptForecastServedTheNextDayStartsAtThatDay) {
    char folder[] = "/tmp/cloudwick-feed-state-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string state = std::string(folder) + "/state";
    const int port = FreePort();
    std::vector<std::string> args;
    std::string made;
    {
        StubUpstream stub;
        args = {"--listen", "127.0.0.1:" + std::to_string(port), "--forecast-url", stub.ForecastUrl(),
                "--geocoding-url", stub.GeocodingUrl(), "--nominatim-url", "off", "--state-dir", state,
                "--fixed-time", "2026-12-08T15:50"};
        Program first(args);
        ASSERT_TRUE(first.WaitForPort(port)) << first.Output();
        const RawReply r = CardGet(port, "/forecastrss?w=4250542");
        ASSERT_EQ(r.status, 200);
        made = r.body;
    }  // the source is gone
    args.back() = "2026-12-09T15:00";  // 9:00 am CST on Wednesday
    Program second(args);
    ASSERT_TRUE(second.WaitForPort(port)) << second.Output();
    const RawReply r = CardGet(port, "/forecastrss?w=4250542");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("warning"), "110 - \"Response is Stale\"");
    const std::size_t first = r.body.find("<yweather:forecast ");
    EXPECT_EQ(r.body.find("<yweather:forecast day=\"Wed\" date=\"9 Dec 2026\" "), first) << r.body;
    EXPECT_NE(r.body.find("<BR /><b>Forecast:</b><BR />\nWed - "), std::string::npos) << r.body;
    EXPECT_EQ(r.body.find("day=\"Tue\""), std::string::npos) << r.body;
    EXPECT_EQ(r.body.find("Tue - "), std::string::npos) << r.body;
    const std::string built = "<lastBuildDate>Tue, 08 Dec 2026 9:45 am CST</lastBuildDate>";
    EXPECT_NE(made.find(built), std::string::npos) << made;
    EXPECT_NE(r.body.find(built), std::string::npos) << r.body;
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}

// Replies the reader cannot read for sure are refused as other source
// errors are: a 503 whose first line is the reason the card shows. One
// program per case, as a refusal holds the source off for that place.
TEST(Program, AnOddForecastReplyIsRefusedWithTheSourcesReasonLine) {
    const std::string good = ForecastJson("\xC2\xB0" "C", -1.5, -4.9, 16.42, 2, 0);
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string json = good;
        json.replace(json.find(from), from.size(), to);
        return json;
    };
    struct Case {
        std::string reply;
        int status;
    } cases[] = {
        {with("\"2026-12-08T09:45\"", "\"2026-12-08T09:45:00\""), 200},  // read right
        {with("\"weather_code\":2,", "\"weather_code\":2.5,"), 503},
        {with("\"temperature_2m\":-1.500000", "\"temperature_2m\":99"), 503},
        {with("\"utc_offset_seconds\":-21600,", ""), 503},
        {with("[\"2026-12-08\",", "[\"2026-12-09\","), 503},
        {with("\"temperature_2m\":\"\xC2\xB0" "C\"", "\"temperature_2m\":\"K\""), 503},
    };
    StubUpstream stub;
    for (const Case& c : cases) {
        stub.SetForecastBody(c.reply);
        const int port = FreePort();
        Program p({"--listen", "127.0.0.1:" + std::to_string(port), "--forecast-url", stub.ForecastUrl(),
                   "--geocoding-url", stub.GeocodingUrl(), "--nominatim-url", "off", "--fixed-time",
                   "2026-12-08T15:50"});
        ASSERT_TRUE(p.WaitForPort(port)) << p.Output();
        const RawReply r = CardGet(port, "/forecastrss?w=4250542");
        EXPECT_EQ(r.status, c.status) << c.reply << "\n" << r.raw;
        if (c.status == 200) {
            EXPECT_NE(r.body.find("<lastBuildDate>Tue, 08 Dec 2026 9:45 am CST</lastBuildDate>"), std::string::npos)
                << r.body;
        } else {
            EXPECT_EQ(r.body.find("<rss"), std::string::npos);
            EXPECT_EQ(r.body.rfind("Weather source gave an error\n", 0), 0u) << r.body;
        }
    }
}

// A burst of 30 requests from one address: the first 20 are logged, a count
// line follows when the 10 s interval ends, and later requests are logged.
TEST(Program, AfterABurstTheLogHasItsCountAndLaterRequests) {
    const int port = FreePort();
    Program p({"--provider", "sample", "--listen", "127.0.0.1:" + std::to_string(port)});
    ASSERT_TRUE(p.WaitForPort(port)) << p.Output();
    // The burst starts an interval, so that it is not split between two.
    while (std::time(nullptr) % 10 != 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int i = 0; i < 30; ++i) CardGet(port, "/forecastrss?w=4250542&burst=" + std::to_string(i));
    const auto waitFor = [&](const std::string& text) {
        for (int i = 0; i < 300; ++i) {
            if (p.Output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    EXPECT_TRUE(waitFor("more requests in 10 s not logged one by one")) << p.Output();
    CardGet(port, "/forecastrss?w=4250542&later=1");
    EXPECT_TRUE(waitFor("\"GET /forecastrss?w=4250542&later=1\" 200")) << p.Output();
}

}  // namespace
