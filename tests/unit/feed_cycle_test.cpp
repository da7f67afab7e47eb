// The card's refresh cycle with a fake socket, fake timers and fake ticks:
// fetch start, request, reply collection, completion by byte count,
// time-out and retry, errors and the hourly clock.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "captions.h"
#include "fakes.h"
#include "feed/feed_cycle.h"
#include "app/get_request.h"
#include "app/short_reply.h"
#include "feed/feed_request.h"
#include "feed_sample.h"
#include "card_request_golden.h"

namespace {

const char* const kHost = "feed.example.test";

class FeedCycleTest : public ::testing::Test {
protected:
    FeedCycleTest() : interval(true), cycle(settings, socket, dataTimer, interval, view, kHost, clock) {
        settings.LocationWoeid = "2442047";
        settings.UseCelsius = 0;
        settings.RefreshHours = 1;
    }

    // The 100 ms timer only ticks while it is enabled.
    void TickData(int n) {
        for (int i = 0; i < n && dataTimer.Enabled(); ++i) cycle.OnDataTick();
    }
    // A minute passes, then the minute timer ticks.
    void TickMinutes(int n) {
        for (int i = 0; i < n && interval.Enabled(); ++i) {
            clock.now += 60000;
            cycle.OnIntervalTick();
        }
    }
    void Arrive(const std::string& data, long count = -1) {
        socket.Queue(data);
        socket.sink->OnDataArrival(count < 0 ? static_cast<long>(data.size()) : count);
    }
    // Start a fetch whose connection comes up and is answered with `reply`.
    void FetchAndAnswer(const std::string& reply) {
        cycle.RefreshOptions();
        socket.Up();
        socket.sink->OnConnect();
        Arrive(reply);
    }

    AppSettings settings;
    FakeSocket socket;
    FakeTimer dataTimer;
    FakeTimer interval;
    FakeFeedView view;
    FakeClock clock;
    FeedCycle cycle;
};

}  // namespace

TEST_F(FeedCycleTest, RefreshStartsAFetchForTheStoredPlace) {
    settings.UseCelsius = 1;
    settings.MainVisible = 0;  // hidden in the tray
    cycle.RefreshOptions();
    EXPECT_EQ(view.clears, 1);
    ASSERT_EQ(socket.connects.size(), 1u);
    EXPECT_EQ(socket.connects[0], kHost);
    EXPECT_EQ(socket.lastPort, 80);
    // The old connection is closed before the new one is asked for.
    ASSERT_GE(socket.log.size(), 2u);
    EXPECT_EQ(socket.log[0], "close");
    EXPECT_EQ(socket.log.back(), std::string("connect ") + kHost + ":80");
    EXPECT_TRUE(dataTimer.Enabled());
    EXPECT_TRUE(interval.Enabled());
    // The minute clock is restarted: switched off, then on again.
    ASSERT_GE(interval.history.size(), 2u);
    EXPECT_FALSE(interval.history[interval.history.size() - 2]);
    EXPECT_TRUE(interval.history.back());
    EXPECT_EQ(cycle.feedServer(), kHost);
    EXPECT_EQ(cycle.feedWoeid(), "2442047");
    EXPECT_EQ(cycle.feedMetric(), -1);
    EXPECT_EQ(cycle.replyParsed(), 0);
    EXPECT_EQ(cycle.feedBytes(), 0);
    EXPECT_EQ(cycle.feedReply(), "");
    EXPECT_EQ(settings.MainVisible, -1);  // set whether or not the card is shown
}

TEST_F(FeedCycleTest, MetricFlagFollowsExactlyOne) {
    for (int16_t v : {0, 2, -1}) {
        settings.UseCelsius = v;
        cycle.RefreshOptions();
        EXPECT_EQ(cycle.feedMetric(), 0) << v;
    }
}

TEST_F(FeedCycleTest, NoPlaceWoeidsMakeNoConnection) {
    for (std::string woeid : {"99999999", "", "   "}) {
        SCOPED_TRACE("\"" + woeid + "\"");
        FakeSocket sock;
        FakeTimer data, clock(true);
        FakeFeedView v;
        AppSettings s = settings;
        s.LocationWoeid = woeid;
        FakeClock now;
        FeedCycle c(s, sock, data, clock, v, kHost, now);
        c.RefreshOptions();
        EXPECT_TRUE(sock.connects.empty());
        EXPECT_EQ(v.clears, 1);
        EXPECT_EQ(v.title, "My City");
        EXPECT_TRUE(data.Enabled());   // the dash bar still runs
        EXPECT_FALSE(clock.Enabled()); // the minute clock stays off
        // Every 66 ticks the card is blanked and the bar restarts.
        for (int i = 1; i <= 65; ++i) c.OnDataTick();
        EXPECT_EQ(c.barText(), std::string(65, '-'));
        EXPECT_EQ(v.bar, std::string(65, '-'));
        c.OnDataTick();
        EXPECT_EQ(c.barText(), "");
        EXPECT_EQ(v.bar, "");
        EXPECT_EQ(v.clears, 2);
        EXPECT_TRUE(sock.connects.empty());
        EXPECT_TRUE(data.Enabled());
        for (int i = 0; i < 66; ++i) c.OnDataTick();
        EXPECT_EQ(v.clears, 3);
    }
}

TEST_F(FeedCycleTest, NearMissWoeidsDoConnect) {
    // Only the exact "99999999" means no place; spaces around a WOEID stay in the path.
    for (std::string woeid : {" 99999999", "99999999 ", " 2442047 "}) {
        FakeSocket sock;
        FakeTimer data, clock;
        FakeFeedView v;
        AppSettings s = settings;
        s.LocationWoeid = woeid;
        FakeClock now;
        FeedCycle c(s, sock, data, clock, v, kHost, now);
        c.RefreshOptions();
        ASSERT_EQ(sock.connects.size(), 1u) << woeid;
        sock.Up();
        sock.sink->OnConnect();
        ASSERT_EQ(sock.sent.size(), 1u);
        EXPECT_EQ(sock.sent[0], BuildGetRequest("/forecastrss?w=" + woeid, kHost));
    }
}

TEST_F(FeedCycleTest, ConnectSendsOneRequestWithTheCurrentUnits) {
    settings.UseCelsius = 1;
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    ASSERT_EQ(socket.sent.size(), 1u);
    EXPECT_EQ(socket.sent[0], GoldenCardRequest("/forecastrss?w=2442047&u=c", "feed.example.test"));

    // The units are read when the request is built, not at the fetch start.
    cycle.RefreshOptions();
    settings.UseCelsius = 0;
    socket.Up();
    socket.sink->OnConnect();
    ASSERT_EQ(socket.sent.size(), 2u);
    EXPECT_EQ(socket.sent[1], BuildGetRequest("/forecastrss?w=2442047", kHost));
}

TEST_F(FeedCycleTest, DataIsTakenOnlyWhileConnected) {
    cycle.RefreshOptions();  // still connecting
    socket.Queue("early");
    socket.sink->OnDataArrival(5);
    EXPECT_EQ(socket.receives, 0);  // left unread
    EXPECT_EQ(cycle.feedBytes(), 0);
    EXPECT_EQ(cycle.feedReply(), "");
    socket.Up();
    socket.sink->OnDataArrival(5);
    EXPECT_EQ(cycle.feedReply(), "early");
    EXPECT_EQ(cycle.feedBytes(), 5);
}

TEST_F(FeedCycleTest, ReplyOfExactly2000BytesIsNeverParsed) {
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    Arrive(std::string(2000, 'x'));
    TickData(65);
    EXPECT_TRUE(view.forecasts.empty());
    EXPECT_EQ(cycle.replyParsed(), 0);
    TickData(1);  // time-out: a new fetch, and the reply is gone
    EXPECT_TRUE(view.forecasts.empty());
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_EQ(cycle.feedBytes(), 0);
    EXPECT_EQ(cycle.feedReply(), "");
    EXPECT_TRUE(dataTimer.Enabled());
}

TEST_F(FeedCycleTest, CompletionClosesParsesAndStops) {
    FeedSample sample;
    const std::string reply = sample.Reply();
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    TickData(4);
    Arrive(reply.substr(0, 1500));
    TickData(1);
    EXPECT_TRUE(view.forecasts.empty());
    Arrive(reply.substr(1500, 501));  // 2001 bytes now
    EXPECT_TRUE(view.forecasts.empty());  // nothing happens before the tick
    const int closesBefore = socket.closes;
    int stateAtParse = -1, parsedAtParse = 0;
    view.onForecast = [&] {
        stateAtParse = socket.State();
        parsedAtParse = cycle.replyParsed();
    };
    TickData(1);
    EXPECT_EQ(stateAtParse, Socket::kClosed);  // closed and marked before the parse
    EXPECT_EQ(parsedAtParse, -1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_EQ(socket.closes, closesBefore + 1);
    EXPECT_EQ(cycle.replyParsed(), -1);
    EXPECT_FALSE(dataTimer.Enabled());
    EXPECT_EQ(cycle.barText(), "");
    EXPECT_EQ(view.bar, "");
    // Whatever had arrived was parsed: 2001 bytes of the sample still hold
    // everything up to the first forecast at least.
    EXPECT_EQ(CaptionOf(view.forecasts[0], CardField::Title), "Springfield, XY");
    // The card closed the socket itself, so later data is not taken.
    socket.Queue("late");
    socket.sink->OnDataArrival(4);
    EXPECT_EQ(cycle.feedReply().find("late"), std::string::npos);
}

TEST_F(FeedCycleTest, ReportedCountDecidesCompletion) {
    cycle.RefreshOptions();
    socket.Up();
    Arrive("short text", 2001);
    TickData(1);
    EXPECT_EQ(view.forecasts.size(), 1u);
    EXPECT_FALSE(view.forecasts[0].ok);  // a reply without the tags is the parser's failure
}

TEST_F(FeedCycleTest, RefreshStartedWhileTheCardIsFilledRunsOn) {
    // "Refresh Now" sent by another program can arrive while the card shows
    // a forecast; the new fetch must keep its timer.
    FeedSample sample;
    view.onForecast = [&] { cycle.RefreshOptions(); };
    FetchAndAnswer(sample.Reply());
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_TRUE(dataTimer.Enabled());
    EXPECT_EQ(cycle.replyParsed(), 0);
}

TEST_F(FeedCycleTest, UnusableReplyIsRetriedLikeOneThatNeverCame) {
    // An error page from a proxy: over 2000 bytes, none of the tags.
    const std::string page = "HTTP/1.1 502 Bad Gateway\r\n\r\n<html>" + std::string(2500, 'x') + "</html>";
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    Arrive(page);
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_FALSE(view.forecasts[0].ok);
    EXPECT_EQ(cycle.replyParsed(), 0);
    EXPECT_TRUE(dataTimer.Enabled());
    EXPECT_EQ(socket.closes, 2);  // at the start and after the parse
    TickData(3);
    EXPECT_EQ(view.forecasts.size(), 1u);  // parsed once, not at every tick
    // The time-out starts the next fetch, which the healed server answers.
    TickData(FeedCycle::kTimeoutTicks);
    ASSERT_EQ(socket.connects.size(), 2u);
    FeedSample sample;
    socket.Up();
    socket.sink->OnConnect();
    Arrive(sample.Reply());
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 2u);
    EXPECT_TRUE(view.forecasts[1].ok) << view.forecasts[1].error;
    EXPECT_FALSE(dataTimer.Enabled());
}

TEST_F(FeedCycleTest, ArrivalsBeforeOneTickAreAppendedInOrder) {
    FeedSample sample;
    const std::string reply = sample.Reply();
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    const size_t half = reply.size() / 2;
    Arrive(reply.substr(0, half));
    Arrive(reply.substr(half));
    EXPECT_EQ(cycle.feedReply(), reply);
    EXPECT_EQ(cycle.feedBytes(), static_cast<long>(reply.size()));
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_TRUE(view.forecasts[0].ok) << view.forecasts[0].error;
    EXPECT_EQ(CaptionOf(view.forecasts[0], CardField::Day2), "Tue , Mostly Sunny . High: 41  Low: 29 ");
}

TEST_F(FeedCycleTest, ParseUsesTheUnitsAtTheTimeOfTheParse) {
    FeedSample sample;
    settings.UseCelsius = 0;
    FetchAndAnswer(sample.Reply());
    settings.UseCelsius = 1;
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_EQ(CaptionOf(view.forecasts[0], CardField::Temp), "31   \xB0 C");
}

TEST_F(FeedCycleTest, TimeOutAfter66TicksStartsAgain) {
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    for (int i = 1; i <= 65; ++i) {
        cycle.OnDataTick();
        ASSERT_EQ(cycle.barText(), std::string(i, '-'));
    }
    EXPECT_EQ(view.clears, 1);
    EXPECT_EQ(socket.connects.size(), 1u);
    cycle.OnDataTick();
    EXPECT_EQ(cycle.barText(), "");
    EXPECT_EQ(view.bar, "");
    EXPECT_EQ(cycle.waitTicks(), 0);
    EXPECT_EQ(view.clears, 2);
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_TRUE(dataTimer.Enabled());
    // And again, without limit.
    TickData(66 * 5);
    EXPECT_EQ(socket.connects.size(), 7u);
}

TEST_F(FeedCycleTest, TimeOutTickWinsOverACompleteReply) {
    // On the 66th tick the retry empties the reply before the byte test.
    FeedSample sample;
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    TickData(65);
    Arrive(sample.Reply());
    TickData(1);
    EXPECT_TRUE(view.forecasts.empty());
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_EQ(cycle.feedBytes(), 0);
}

TEST_F(FeedCycleTest, RefreshNowDuringAWaitKeepsTicksAndDashes) {
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    Arrive("partial");
    TickData(30);
    const int closes = socket.closes;
    cycle.RefreshOptions();  // "Refresh Now"
    EXPECT_EQ(socket.closes, closes + 1);
    EXPECT_EQ(cycle.feedReply(), "");
    EXPECT_EQ(cycle.feedBytes(), 0);
    EXPECT_EQ(cycle.waitTicks(), 30);
    EXPECT_EQ(cycle.barText(), std::string(30, '-'));
    EXPECT_EQ(socket.connects.size(), 2u);
    // The new fetch times out after the ticks that were left.
    TickData(35);
    EXPECT_EQ(socket.connects.size(), 2u);
    TickData(1);
    EXPECT_EQ(socket.connects.size(), 3u);
    EXPECT_EQ(cycle.waitTicks(), 0);
}

TEST_F(FeedCycleTest, TicksOfACompletedFetchCarryIntoTheNext) {
    FeedSample sample;
    cycle.RefreshOptions();
    socket.Up();
    TickData(9);
    Arrive(sample.Reply());
    TickData(1);  // completes at the 10th tick
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_EQ(cycle.waitTicks(), 10);
    cycle.RefreshOptions();
    TickData(55);
    EXPECT_EQ(socket.connects.size(), 2u);
    TickData(1);
    EXPECT_EQ(socket.connects.size(), 3u);
}

TEST_F(FeedCycleTest, SocketErrorShowsNetworkErrorUntilTheRetry) {
    cycle.RefreshOptions();
    TickData(10);
    const size_t closes = socket.closes;
    socket.sink->OnError();
    EXPECT_EQ(view.errors, 1);
    EXPECT_EQ(view.day1, "network error");
    EXPECT_EQ(socket.closes, static_cast<int>(closes));  // nothing else happens
    EXPECT_TRUE(dataTimer.Enabled());
    EXPECT_TRUE(interval.Enabled());
    TickData(55);
    EXPECT_EQ(view.day1, "network error");
    TickData(1);
    EXPECT_EQ(view.day1, "");
    ASSERT_FALSE(view.events.empty());
    EXPECT_EQ(view.events.back(), "clear");
    EXPECT_EQ(socket.connects.size(), 2u);
}

TEST_F(FeedCycleTest, AConfiguredHostSaysWhyItCannotBeUsedOrFound) {
    // A name that does not resolve: the configured words, not "network error".
    cycle.SetHostWords("", "Policy FeedHost not found");
    cycle.RefreshOptions();
    socket.notFound = true;
    socket.sink->OnError();
    EXPECT_EQ(view.day1, "Policy FeedHost not found");
    // Any other failure of the same host is still a network error.
    TickData(70);
    socket.notFound = false;
    socket.sink->OnError();
    EXPECT_EQ(view.day1, "network error");

    // A value that cannot be used: said, and nothing is asked, at any refresh.
    cycle.SetHostWords("Policy FeedHost is not a host name", "");
    const size_t connects = socket.connects.size();
    cycle.RefreshOptions();
    EXPECT_EQ(view.day1, "Policy FeedHost is not a host name");
    EXPECT_FALSE(dataTimer.Enabled());
    TickMinutes(120);
    EXPECT_EQ(socket.connects.size(), connects);
    EXPECT_EQ(view.day1, "Policy FeedHost is not a host name");
}

TEST_F(FeedCycleTest, HourlyClockStartsAFetchEvery60MinuteTicks) {
    cycle.RefreshOptions();
    TickMinutes(59);
    EXPECT_EQ(socket.connects.size(), 1u);
    EXPECT_EQ(cycle.minutesElapsed(), 59);
    TickMinutes(1);
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_EQ(cycle.minutesElapsed(), 0);
    EXPECT_EQ(cycle.hoursElapsed(), 0);
    TickMinutes(60);
    EXPECT_EQ(socket.connects.size(), 3u);
}

TEST_F(FeedCycleTest, TwelveHoursAre720MinuteTicks) {
    settings.RefreshHours = 12;
    cycle.RefreshOptions();
    TickMinutes(719);
    EXPECT_EQ(socket.connects.size(), 1u);
    EXPECT_EQ(cycle.hoursElapsed(), 11);
    EXPECT_EQ(cycle.minutesElapsed(), 59);
    TickMinutes(1);
    EXPECT_EQ(socket.connects.size(), 2u);
}

TEST_F(FeedCycleTest, ZeroHoursRefreshesOnEveryMinuteTick) {
    settings.RefreshHours = 0;
    cycle.RefreshOptions();
    TickMinutes(3);
    EXPECT_EQ(socket.connects.size(), 4u);
}

TEST_F(FeedCycleTest, AnyFetchStartResetsTheClock) {
    cycle.RefreshOptions();
    TickMinutes(45);
    cycle.RefreshOptions();  // menu, dialog or time-out alike
    EXPECT_EQ(cycle.minutesElapsed(), 0);
    TickMinutes(59);
    EXPECT_EQ(socket.connects.size(), 2u);
    TickMinutes(1);
    EXPECT_EQ(socket.connects.size(), 3u);
}

TEST_F(FeedCycleTest, WithoutAPlaceTheClockStartsTheFirstFetch) {
    // No place at start-up: the card starts no fetch; the minute clock runs
    // from the window's creation.
    settings.LocationWoeid = "99999999";
    TickMinutes(59);
    EXPECT_EQ(view.clears, 0);
    TickMinutes(1);
    EXPECT_EQ(view.clears, 1);
    EXPECT_TRUE(socket.connects.empty());
    EXPECT_FALSE(interval.Enabled());  // off until a usable WOEID comes
    EXPECT_TRUE(dataTimer.Enabled());
}

TEST_F(FeedCycleTest, ByteCountSaturatesInsteadOfWrapping) {
    FeedSample sample;
    cycle.RefreshOptions();
    socket.Up();
    Arrive(sample.Reply(), 40000);
    Arrive("", LONG_MAX);
    Arrive("", LONG_MAX);
    EXPECT_EQ(cycle.feedBytes(), LONG_MAX);
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_TRUE(view.forecasts[0].ok);
}

TEST_F(FeedCycleTest, HugeReplyIsCappedButStillCounted) {
    FeedSample sample;
    cycle.RefreshOptions();
    socket.Up();
    Arrive(sample.Reply());
    const std::string chunk(64 * 1024, 'z');
    long total = static_cast<long>(sample.Reply().size());
    for (int i = 0; i < 16; ++i) {  // a megabyte before the tick
        Arrive(chunk);
        total += static_cast<long>(chunk.size());
    }
    EXPECT_LE(cycle.feedReply().size(), FeedCycle::kMaxReplyBytes);
    EXPECT_FALSE(socket.reading);  // an endless sender cannot hold back the tick
    EXPECT_EQ(cycle.feedReply().compare(0, sample.Reply().size(), sample.Reply()), 0);
    EXPECT_EQ(cycle.feedBytes(), total);
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_TRUE(view.forecasts[0].ok) << view.forecasts[0].error;
}

TEST_F(FeedCycleTest, SettingsLoadAndSaveGoThroughTheFeedFields) {
    AppSettings loaded;
    loaded.LocationWoeid = "12345";
    loaded.UseCelsius = 1;
    cycle.LoadFeedFields(loaded);
    EXPECT_EQ(cycle.feedWoeid(), "12345");
    EXPECT_EQ(cycle.feedMetric(), -1);

    // No fetch since the load: lines 6 and 7 go back as they were read,
    // even when the options changed the settings in memory.
    AppSettings out;
    out.LocationWoeid = "999";
    out.UseCelsius = 0;
    cycle.StoreFeedFields(out);
    EXPECT_EQ(out.LocationWoeid, "12345");
    EXPECT_EQ(out.UseCelsius, 1);

    loaded.UseCelsius = 2;  // not exactly 1: imperial
    cycle.LoadFeedFields(loaded);
    EXPECT_EQ(cycle.feedMetric(), 0);
    cycle.StoreFeedFields(out);
    EXPECT_EQ(out.UseCelsius, 0);

    // After a fetch the feed in use is what is saved.
    settings.LocationWoeid = "777";
    settings.UseCelsius = 1;
    cycle.RefreshOptions();
    cycle.StoreFeedFields(out);
    EXPECT_EQ(out.LocationWoeid, "777");
    EXPECT_EQ(out.UseCelsius, 1);
}

// ---- What the card says when the reply is not weather ----

namespace {
const std::string kUnreachable =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 27\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
    "Weather source unreachable\n";
}

TEST_F(FeedCycleTest, AShortReplyTheServerEndedIsShownAtOnceAndRetriedAtTheTimeOut) {
    const struct { std::string reply; bool closes; std::string shown; } cases[] = {
        {kUnreachable, false, "Weather source unreachable"},  // whole by its length
        {"HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\n\r\nWeather source paused for 30 s\n",
         true, "Weather source paused for 30 s"},  // whole once the server closes
        {"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\n<h1>x</h1>", false,
         "Weather service error 404"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n<rss/>", false, "Weather reply too short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        view.problems.clear();
        FetchAndAnswer(c.reply);
        if (c.closes) socket.sink->OnClose();
        const int closes = socket.closes;
        const int16_t before = cycle.waitTicks();
        TickData(1);
        ASSERT_EQ(view.problems.size(), 1u);
        EXPECT_EQ(view.problems[0], c.shown);
        EXPECT_EQ(view.day1, c.shown);
        EXPECT_EQ(socket.closes, closes + 1);
        EXPECT_TRUE(view.forecasts.empty());
        TickData(3);
        EXPECT_EQ(view.problems.size(), 1u);  // said once
        // The time-out asks again, as for any fetch without weather.
        const size_t connects = socket.connects.size();
        TickData(FeedCycle::kTimeoutTicks - before - 4);
        EXPECT_EQ(socket.connects.size(), connects + 1);
    }
}

TEST_F(FeedCycleTest, AReplyStillComingIsNotReadForAReason) {
    FetchAndAnswer(kUnreachable.substr(0, kUnreachable.size() - 5));
    TickData(10);
    EXPECT_TRUE(view.problems.empty());
    // A closed connection without a status line says nothing either.
    FetchAndAnswer("");
    socket.sink->OnClose();
    TickData(1);
    EXPECT_TRUE(view.problems.empty());
}

TEST_F(FeedCycleTest, AnotherProgramOnThePortIsNamed) {
    FakeServiceLink link;
    link.portTaken = true;
    cycle.SetServiceLink(&link);
    FetchAndAnswer(kUnreachable);  // whatever it says
    TickData(1);
    ASSERT_EQ(view.problems.size(), 1u);
    EXPECT_EQ(view.problems[0], kPortTakenText);
    // A long page that is no weather: the parse fails, the port is named.
    FetchAndAnswer("HTTP/1.1 200 OK\r\n\r\n<html>" + std::string(3000, 'x'));
    TickData(1);
    ASSERT_EQ(view.problems.size(), 2u);
    EXPECT_EQ(view.day1, kPortTakenText);
    // Weather from whatever answers is shown as usual.
    FeedSample sample;
    FetchAndAnswer(sample.Reply());
    TickData(1);
    EXPECT_TRUE(view.forecasts.back().ok);
}

TEST_F(FeedCycleTest, AStaleDocumentIsShownThenRetriedQuietlyUntilAFreshOne) {
    FeedSample sample;
    std::string stale = sample.Reply();
    stale.insert(stale.find("\r\n") + 2, "Warning: 110 - \"Response is Stale\"\r\n");
    FetchAndAnswer(stale);
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_TRUE(cycle.retryingQuietly());
    EXPECT_TRUE(dataTimer.Enabled());  // the time-out will ask again
    const int clears = view.clears;
    // Quiet retries: nothing blanks, errors and short replies are not shown.
    TickData(FeedCycle::kTimeoutTicks);
    EXPECT_EQ(socket.connects.size(), 2u);
    socket.sink->OnError();
    TickData(FeedCycle::kTimeoutTicks);
    EXPECT_EQ(socket.connects.size(), 3u);
    socket.Up();
    socket.sink->OnConnect();
    Arrive(kUnreachable);
    TickData(FeedCycle::kTimeoutTicks);
    EXPECT_EQ(view.clears, clears);
    EXPECT_EQ(view.errors, 0);
    EXPECT_TRUE(view.problems.empty());
    EXPECT_EQ(view.forecasts.size(), 1u);
    // A stale one again is shown again; a fresh one ends the retries.
    socket.Up();
    socket.sink->OnConnect();
    Arrive(stale);
    TickData(1);
    EXPECT_EQ(view.forecasts.size(), 2u);
    EXPECT_TRUE(cycle.retryingQuietly());
    TickData(FeedCycle::kTimeoutTicks);
    socket.Up();
    socket.sink->OnConnect();
    Arrive(sample.Reply());
    TickData(1);
    EXPECT_EQ(view.forecasts.size(), 3u);
    EXPECT_FALSE(cycle.retryingQuietly());
    EXPECT_FALSE(dataTimer.Enabled());
    EXPECT_EQ(view.clears, clears);
    // "Refresh Now" is a normal fetch again.
    cycle.RefreshOptions();
    EXPECT_EQ(view.clears, clears + 1);
}

// ---- The local service ----

TEST_F(FeedCycleTest, TheFirstConnectWaitsForTheServiceToListen) {
    FakeServiceLink link;
    link.ready = false;
    cycle.SetServiceLink(&link);
    cycle.RefreshOptions();
    EXPECT_TRUE(socket.connects.empty());
    EXPECT_TRUE(cycle.waitingForService());
    TickData(5);
    EXPECT_TRUE(socket.connects.empty());
    link.ready = true;
    cycle.OnServiceReady();
    EXPECT_EQ(socket.connects.size(), 1u);
    cycle.OnServiceReady();  // once only
    EXPECT_EQ(socket.connects.size(), 1u);
    EXPECT_EQ(view.errors, 0);
}

TEST_F(FeedCycleTest, HeldConnectAlsoGoesOnATickOnceAllowed) {
    FakeServiceLink link;
    link.ready = false;
    cycle.SetServiceLink(&link);
    cycle.RefreshOptions();
    TickData(3);
    link.ready = true;
    TickData(1);
    EXPECT_EQ(socket.connects.size(), 1u);
}

TEST_F(FeedCycleTest, NothingListeningBringsTheServiceBackWithoutAnError) {
    FakeServiceLink link;
    link.restarts = true;
    cycle.SetServiceLink(&link);
    cycle.RefreshOptions();
    socket.sink->OnError();  // refused
    EXPECT_EQ(link.bringBacks, 1);
    EXPECT_EQ(view.errors, 0);
    EXPECT_EQ(view.day1, "");
    EXPECT_EQ(socket.connects.size(), 1u);
    link.ready = true;
    cycle.OnServiceReady();  // the same fetch asks again
    ASSERT_EQ(socket.connects.size(), 2u);
    FeedSample sample;
    socket.Up();
    socket.sink->OnConnect();
    Arrive(sample.Reply());
    TickData(1);
    ASSERT_EQ(view.forecasts.size(), 1u);
    EXPECT_TRUE(view.forecasts[0].ok);
    // When it cannot be brought back, the error is shown as before.
    link.restarts = false;
    cycle.RefreshOptions();
    socket.sink->OnError();
    EXPECT_EQ(view.day1, "network error");
}

// ---- The clock, sleep and resume ----

TEST_F(FeedCycleTest, AnIntervalThatPassedDuringSleepRefreshesAtTheFirstTick) {
    settings.RefreshHours = 3;
    cycle.RefreshOptions();
    TickMinutes(10);
    // Asleep for eight hours: the timer did not tick, the clock went on.
    clock.now += 8 * FeedCycle::kMsPerHour;
    cycle.OnIntervalTick();
    EXPECT_EQ(socket.connects.size(), 2u);
    cycle.OnIntervalTick();  // one refresh, not one per missed interval
    EXPECT_EQ(socket.connects.size(), 2u);
}

TEST_F(FeedCycleTest, TicksWithoutTimeDoNotRefresh) {
    // Timer messages that come in a heap (a busy machine) count no time.
    cycle.RefreshOptions();
    for (int i = 0; i < 200; ++i) cycle.OnIntervalTick();
    EXPECT_EQ(socket.connects.size(), 1u);
}

TEST_F(FeedCycleTest, ResumeRefreshesOnceForABurstOfMessages) {
    FeedSample sample;
    FetchAndAnswer(sample.Reply());
    TickData(1);
    clock.now += 9 * FeedCycle::kMsPerHour;  // asleep overnight
    for (int i = 0; i < 300; ++i) cycle.OnResume();
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_EQ(view.clears, 2);
    // A later resume, well after the last fetch, refreshes again.
    clock.now += FeedCycle::kResumeQuietMs;
    cycle.OnResume();
    EXPECT_EQ(socket.connects.size(), 3u);
}

TEST_F(FeedCycleTest, ResumeBeforeAnyFetchKeepsTheDesignTexts) {
    cycle.OnResume();
    EXPECT_EQ(view.clears, 0);
    EXPECT_TRUE(socket.connects.empty());
}

TEST_F(FeedCycleTest, NegativeRefreshHoursNeverRefreshAndAClockGoingBackIsHarmless) {
    settings.RefreshHours = -1;
    cycle.RefreshOptions();
    TickMinutes(24 * 60);
    EXPECT_EQ(socket.connects.size(), 1u);
    settings.RefreshHours = 1;
    cycle.RefreshOptions();
    clock.now -= 5000;  // cannot happen with the tick count; still safe
    cycle.OnIntervalTick();
    cycle.OnResume();
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_EQ(cycle.hoursElapsed(), 0);
    EXPECT_EQ(cycle.minutesElapsed(), 0);
}

TEST_F(FeedCycleTest, AServiceThatAcceptsAndNeverAnswersIsReplaced) {
    FakeServiceLink link;
    link.keepsService = true;
    cycle.SetServiceLink(&link);
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    TickData(FeedCycle::kTimeoutTicks);
    EXPECT_EQ(link.noAnswers, 1);
    EXPECT_EQ(view.day1, kSilentServiceText);  // shown after the retry's blanking
    EXPECT_TRUE(cycle.waitingForService());   // the new copy is waited for
    // A card that keeps no service (another host): the time-out as designed.
    link.keepsService = false;
    link.ready = true;
    view.day1.clear();
    cycle.RefreshOptions();
    socket.Up();
    socket.sink->OnConnect();
    TickData(FeedCycle::kTimeoutTicks);
    EXPECT_EQ(view.day1, "");
}

TEST_F(FeedCycleTest, NothingIsSentToAListenerThatIsNotTheService) {
    FakeServiceLink link;
    link.ours = false;
    cycle.SetServiceLink(&link);
    cycle.RefreshOptions();
    const size_t sent = socket.sent.size();
    socket.Up();
    socket.sink->OnConnect();
    EXPECT_EQ(socket.sent.size(), sent);
    EXPECT_EQ(view.day1, kForeignListenerText);
    EXPECT_TRUE(cycle.waitingForService());
}

TEST_F(FeedCycleTest, NoServiceIsNamedForARefusedConnect) {
    FakeServiceLink link;
    link.why = "cloudwick-feed.exe is missing beside Cloudwick.exe";
    cycle.SetServiceLink(&link);
    cycle.RefreshOptions();
    socket.sink->OnError();
    EXPECT_EQ(view.day1, link.why);
}
