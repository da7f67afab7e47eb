// The dialog's place search with a fake socket, timer and view: the query
// text, the request, completion above 1000 bytes, the 301-tick time-out and
// the Found, "Easy boy", not-found and network-error outcomes.
#include <gtest/gtest.h>

#include <string>

#include "fakes.h"
#include "app/get_request.h"
#include "app/short_reply.h"
#include "options/place_search.h"
#include "place_sample.h"

namespace {

const char* const kHost = "places.example.test";
const std::string kPrefix =
    "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20";
const std::string kNotFound = "Not found. Please change zip/ town/ location and try again.";

class PlaceSearchTest : public ::testing::Test {
protected:
    PlaceSearchTest() : search(socket, timer, view, kHost) {}

    void Tick(int n) {
        for (int i = 0; i < n && timer.Enabled(); ++i) search.OnTick();
    }
    void Arrive(const std::string& data, long count = -1) {
        socket.Queue(data);
        socket.sink->OnDataArrival(count < 0 ? static_cast<long>(data.size()) : count);
    }
    void Search(const std::string& text) {
        view.text = text;
        search.StartPlaceSearch();
    }
    void Answer(const std::string& reply) {
        socket.Up();
        socket.sink->OnConnect();
        Arrive(reply);
    }

    FakeSocket socket;
    FakeTimer timer;
    FakePlaceView view;
    PlaceSearch search;
};

}  // namespace

TEST(PlaceQuote, BlanksBecomePercent20OtherTextGoesAsTyped) {
    EXPECT_EQ(QuotePlaceText("Tokyo"), "'Tokyo'");
    EXPECT_EQ(QuotePlaceText("New York"), "'New%20York'");
    EXPECT_EQ(QuotePlaceText(""), "''");
    EXPECT_EQ(QuotePlaceText("  "), "'%20%20'");
    EXPECT_EQ(QuotePlaceText("Paris,France"), "'Paris,France'");
    EXPECT_EQ(QuotePlaceText("O'Hare & #1"), "'O'Hare%20&%20#1'");
    EXPECT_EQ(QuotePlaceText("Z\xFCrich"), "'Z\xFCrich'");  // non-ASCII as typed
    EXPECT_EQ(QuotePlaceText("100%"), "'100%'");
}

TEST(PlaceQuote, ControlCharactersCannotAddALine) {
    EXPECT_EQ(QuotePlaceText("a\r\nHost: evil"), "'a%0D%0AHost:%20evil'");
    EXPECT_EQ(QuotePlaceText("\t"), "'%09'");
    EXPECT_EQ(QuotePlaceText(std::string("x\0y", 3)), "'x%00y'");
    EXPECT_EQ(QuotePlaceText("\x01\x1F\x7F"), "'%01%1F%7F'");
}

TEST_F(PlaceSearchTest, StartResetsEverythingAndConnects) {
    search.SetFound("111", "Old Town");
    view.ok = true;
    Search("Eiffel Tower");
    EXPECT_EQ(socket.log.front(), "close");
    ASSERT_EQ(socket.connects.size(), 1u);
    EXPECT_EQ(socket.connects[0], kHost);
    EXPECT_EQ(socket.lastPort, 80);
    EXPECT_TRUE(socket.sent.empty());  // nothing goes out before the connection is up
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(view.ok);
    EXPECT_EQ(view.status, "searching Eiffel Tower... ");
    EXPECT_EQ(search.quotedText(), "'Eiffel%20Tower'");
    EXPECT_EQ(search.requestPath(), kPrefix + "'Eiffel%20Tower'");
    EXPECT_EQ(search.foundName(), "");
    EXPECT_EQ(search.foundWoeid(), "111");  // kept until a reply replaces it
    EXPECT_EQ(search.tickCount(), 0);
    EXPECT_EQ(search.bytesReceived(), 0);
    EXPECT_EQ(search.searchHost(), kHost);
    EXPECT_EQ(std::string(kPlaceQueryPrefix), kPrefix);
}

TEST_F(PlaceSearchTest, ConnectSendsTheWholeRequestOnce) {
    Search("Tokyo");
    socket.Up();
    socket.sink->OnConnect();
    ASSERT_EQ(socket.sent.size(), 1u);
    const std::string& req = socket.sent[0];
    EXPECT_EQ(req.substr(0, req.find("\r\n")),
              "GET /v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20'Tokyo' HTTP/1.1");
    EXPECT_EQ(req, BuildGetRequest(kPrefix + "'Tokyo'", kHost));
    EXPECT_NE(req.find("\r\nHost: places.example.test\r\n"), std::string::npos);
    EXPECT_EQ(req.substr(req.size() - 4), "\r\n\r\n");
    EXPECT_EQ(socket.closes, 1);  // the connection stays open after sending
}

TEST_F(PlaceSearchTest, PastedLineBreaksStayInsideTheRequestLine) {
    Search("Paris\r\nX-Injected: 1");
    socket.Up();
    socket.sink->OnConnect();
    ASSERT_EQ(socket.sent.size(), 1u);
    const std::string& req = socket.sent[0];
    EXPECT_EQ(req.find("\r\nX-Injected"), std::string::npos);
    EXPECT_LT(req.find("X-Injected"), req.find("\r\n"));  // still on the first line
}

TEST_F(PlaceSearchTest, EnterStartsASearchOtherKeysDoNot) {
    view.text = "Tokyo";
    search.OnKeyPress('a');
    search.OnKeyPress(10);
    EXPECT_TRUE(socket.connects.empty());
    EXPECT_FALSE(timer.Enabled());
    search.OnKeyPress(13);
    EXPECT_EQ(socket.connects.size(), 1u);
    EXPECT_EQ(search.quotedText(), "'Tokyo'");
    EXPECT_TRUE(timer.Enabled());
}

TEST_F(PlaceSearchTest, EmptyTextStillSearches) {
    Search("");
    EXPECT_EQ(search.quotedText(), "''");
    EXPECT_EQ(view.status, "searching ... ");
    EXPECT_EQ(socket.connects.size(), 1u);
}

TEST_F(PlaceSearchTest, FoundReplyEnablesAndFocusesOkay) {
    Search("Springfield");
    Answer(SpringfieldReply());
    EXPECT_TRUE(timer.Enabled());
    Tick(1);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(view.status, "Springfield Found  !");
    EXPECT_TRUE(view.ok);
    EXPECT_EQ(view.focus, "ok");
    EXPECT_EQ(search.foundWoeid(), "1234567");
    EXPECT_EQ(search.foundName(), "Springfield");
    EXPECT_EQ(search.replyText(), "");
    EXPECT_EQ(search.bytesReceived(), 0);
    EXPECT_EQ(search.tickCount(), 0);
    // Later data is appended to the emptied text and never looked at.
    Arrive(std::string(2000, 'q'));
    EXPECT_EQ(search.replyText(), std::string(2000, 'q'));
    Tick(500);
    EXPECT_EQ(view.status, "Springfield Found  !");
    EXPECT_TRUE(view.ok);
}

TEST_F(PlaceSearchTest, BareLocalityGivesEasyBoy) {
    search.SetFound("111", "Old Town");
    Search("Springfield");
    Answer(PlaceReplyText(PlaceElement("1234567", "Springfield",
                                       "<locality1 type=\"Town\">Springfield</locality1>")));
    Tick(1);
    EXPECT_EQ(view.status, "Easy boy. Not so fast !!!");
    EXPECT_EQ(std::string(kTooFastText), "Easy boy. Not so fast !!!");
    EXPECT_FALSE(view.ok);
    EXPECT_EQ(view.focus, "word");
    EXPECT_EQ(search.foundWoeid(), "1234567");
    EXPECT_EQ(search.foundName(), "Springfield");
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(PlaceSearchTest, ThousandBytesNeverParseAndTimeOutOnTick301) {
    search.SetFound("111", "Old Town");
    Search("Springfield");
    std::string reply = SpringfieldReply();
    reply.resize(1000);
    Answer(reply);
    Tick(300);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(view.status, "searching Springfield... ");
    EXPECT_EQ(search.tickCount(), 300);
    Tick(1);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(view.status, kNotFound);
    EXPECT_EQ(std::string(kNotFoundText), kNotFound);
    EXPECT_FALSE(view.ok);
    EXPECT_EQ(search.tickCount(), 0);
    EXPECT_EQ(search.bytesReceived(), 0);
    EXPECT_EQ(search.foundWoeid(), "111");  // survives, but "Okay" stays off
}

TEST_F(PlaceSearchTest, ThousandAndOneBytesParseOnTheNextTick) {
    Search("Springfield");
    socket.Up();
    socket.sink->OnConnect();
    const std::string reply = SpringfieldReply();
    Arrive(reply.substr(0, 600));
    Tick(2);
    EXPECT_TRUE(timer.Enabled());
    Arrive(reply.substr(600), static_cast<long>(1001 - 600));  // the reported count decides
    EXPECT_EQ(search.bytesReceived(), 1001);
    Tick(1);
    EXPECT_EQ(view.status, "Springfield Found  !");
}

TEST_F(PlaceSearchTest, ParseOnTick301BeatsTheTimeOut) {
    Search("Springfield");
    socket.Up();
    Tick(300);
    Arrive(SpringfieldReply());
    Tick(1);
    EXPECT_EQ(view.status, "Springfield Found  !");
    EXPECT_TRUE(view.ok);
}

TEST_F(PlaceSearchTest, DataIsTakenOnlyWhileConnected) {
    Search("x");
    socket.Queue("early");
    socket.sink->OnDataArrival(5);
    EXPECT_EQ(socket.receives, 0);
    EXPECT_EQ(search.bytesReceived(), 0);
    socket.Up();
    socket.sink->OnDataArrival(5);
    EXPECT_EQ(search.replyText(), "early");
    EXPECT_EQ(search.bytesReceived(), 5);
}

TEST_F(PlaceSearchTest, ErrorShowsNetworkErrorThenTheTimeOut) {
    Search("Springfield");
    Tick(10);
    socket.sink->OnError();
    EXPECT_EQ(view.status, "network error");
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(search.tickCount(), 10);
    EXPECT_EQ(socket.closes, 1);  // the socket is left as it is
    Tick(290);
    EXPECT_EQ(view.status, "network error");
    Tick(1);
    EXPECT_EQ(view.status, kNotFound);
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(PlaceSearchTest, AConfiguredHostSaysWhyItCannotBeUsedOrFound) {
    search.SetHostWords("", "Policy PlaceSearchHost not found");
    Search("Springfield");
    socket.notFound = true;
    socket.sink->OnError();
    EXPECT_EQ(view.status, "Policy PlaceSearchHost not found");
    search.SetHostWords("Policy FeedHost is empty", "");
    const size_t connects = socket.connects.size();
    Search("Springfield");
    EXPECT_EQ(view.status, "Policy FeedHost is empty");
    EXPECT_EQ(socket.connects.size(), connects);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(view.ok);
}

TEST_F(PlaceSearchTest, FindDuringASearchStartsFromZero) {
    Search("Springfield");
    socket.Up();
    Arrive(std::string(900, 'a'));
    Tick(250);
    Search("Shelbyville");
    EXPECT_EQ(socket.closes, 2);
    EXPECT_EQ(socket.connects.size(), 2u);
    EXPECT_EQ(search.tickCount(), 0);
    EXPECT_EQ(search.bytesReceived(), 0);
    EXPECT_EQ(search.replyText(), "");
    EXPECT_EQ(view.status, "searching Shelbyville... ");
    socket.Up();
    Arrive(std::string(900, 'b'));  // 900 + 900 would pass 1000 without the reset
    Tick(300);
    EXPECT_EQ(view.status, "searching Shelbyville... ");
    Tick(1);
    EXPECT_EQ(view.status, kNotFound);
}

TEST_F(PlaceSearchTest, ReplyWithoutTheTagsEndsNotFound) {
    const std::string bad[] = {
        std::string(1500, 'x'),
        PlaceReplyText("<results/>" + std::string(1200, ' '), 0),
        "</woeid>" + SpringfieldReply(),
        PlaceReplyText(PlaceElement("1", "X", "<locality1 type=\"X\"></locality1>")),
        PlaceReplyText(PlaceElement("1", "X", "<locality1 type=\"Town\" w=\"1\">Town</locality1>")),
    };
    for (const std::string& reply : bad) {
        Search("Springfield");
        Answer(reply);
        Tick(1);
        EXPECT_EQ(view.status, kNotFound);
        EXPECT_FALSE(view.ok);
        EXPECT_EQ(view.focus, "word");
        EXPECT_FALSE(timer.Enabled());
    }
}

TEST_F(PlaceSearchTest, HugeReplyIsCappedButCounted) {
    Search("Springfield");
    socket.Up();
    const std::string reply = SpringfieldReply();
    Arrive(reply);
    const std::string chunk(64 * 1024, 'z');
    for (int i = 0; i < 8; ++i) Arrive(chunk);
    EXPECT_LE(search.replyText().size(), PlaceSearch::kMaxReplyBytes);
    EXPECT_FALSE(socket.reading);  // an endless sender cannot hold back the tick
    EXPECT_EQ(search.bytesReceived(), static_cast<long>(reply.size() + 8 * chunk.size()));
    Tick(1);
    EXPECT_EQ(view.status, "Springfield Found  !");
}

TEST_F(PlaceSearchTest, CloseEndsTheSearch) {
    Search("Springfield");
    socket.Up();
    search.Close();
    EXPECT_EQ(socket.state, Socket::kClosed);
    EXPECT_EQ(socket.closes, 2);
    // A late event of the closed connection changes nothing.
    socket.Queue(SpringfieldReply());
    socket.sink->OnDataArrival(1500);
    EXPECT_EQ(search.replyText(), "");
}

// ---- Replies that are not places, and the local service ----

TEST_F(PlaceSearchTest, AWholeShortReplySaysAtOnceWhatIsWrong) {
    const std::string plain = "Content-Type: text/plain; charset=us-ascii\r\n";
    const struct { std::string reply; bool closes; bool portTaken; std::string status; } cases[] = {
        {"HTTP/1.1 503 Service Unavailable\r\n" + plain + "Content-Length: 34\r\n\r\n"
         "Today's weather calls are used up\n", false, false, "Today's weather calls are used up"},
        {"HTTP/1.1 429 Too Many Requests\r\n" + plain + "\r\nToo many new places; wait a minute\n", true, false,
         "Too many new places; wait a minute"},
        {"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 4\r\n\r\nnope", false, false,
         "Place search error 404"},
        {"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 4\r\n\r\nnope", false, true,
         kPortTakenText},
        // A whole short document holds no place.
        {"HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n<query/>", false, false, kNotFound},
        // The port's other program, even when it closes without a word.
        {"", true, true, kPortTakenText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        FakeServiceLink link;
        link.portTaken = c.portTaken;
        search.SetServiceLink(&link);
        view.ok = true;
        Search("Tokyo");
        Answer(c.reply);
        if (c.closes) socket.sink->OnClose();
        Tick(1);
        EXPECT_EQ(view.status, c.status);
        EXPECT_FALSE(timer.Enabled());
        EXPECT_FALSE(view.ok);
        EXPECT_EQ(view.focus, "word");
        EXPECT_EQ(socket.state, Socket::kClosed);
    }
}

TEST_F(PlaceSearchTest, BytesWithoutAStatusLineWaitForTheTimeOut) {
    Search("Tokyo");
    Answer("garbage");
    socket.sink->OnClose();
    Tick(PlaceSearch::kTimeoutTicks);
    EXPECT_EQ(view.status, "searching Tokyo... ");
    Tick(1);
    EXPECT_EQ(view.status, kNotFound);
}

TEST_F(PlaceSearchTest, WaitsForTheServiceAndBringsItBack) {
    FakeServiceLink link;
    link.ready = false;
    search.SetServiceLink(&link);
    Search("Tokyo");
    EXPECT_TRUE(socket.connects.empty());
    Tick(2);
    EXPECT_TRUE(socket.connects.empty());
    link.ready = true;
    Tick(1);
    ASSERT_EQ(socket.connects.size(), 1u);
    // Refused: the service is started again; no "network error" meanwhile.
    link.restarts = true;
    socket.sink->OnError();
    EXPECT_EQ(view.status, "searching Tokyo... ");
    Tick(1);
    EXPECT_EQ(socket.connects.size(), 1u);
    link.ready = true;
    Tick(1);
    ASSERT_EQ(socket.connects.size(), 2u);
    Answer(PlaceReplyText(PlaceElement("1118370", "Tokyo", TownLocality("1118370", "Tokyo"))));
    Tick(1);
    EXPECT_EQ(view.status, "Tokyo Found  !");
    // A service that cannot be brought back: the old message.
    link.restarts = false;
    Search("Tokyo");
    socket.sink->OnError();
    EXPECT_EQ(view.status, "network error");
}

TEST_F(PlaceSearchTest, AHeldSearchWhoseCardHasGoneConnectsAtTheNextTick) {
    // The card unloads while its dialog stays open: the link is taken away.
    FakeServiceLink link;
    link.ready = false;
    search.SetServiceLink(&link);
    Search("Tokyo");
    search.SetServiceLink(nullptr);
    Tick(1);
    EXPECT_EQ(socket.connects.size(), 1u);
}

TEST_F(PlaceSearchTest, AServiceFaultIsNeverNotFound) {
    FakeServiceLink link;
    link.port = 49731;
    search.SetServiceLink(&link);
    // Killed during the search: the connection ends before a byte; the
    // service is started again and asked once more.
    Search("Tokyo");
    ASSERT_EQ(socket.connects.size(), 1u);
    bool published = false;
    for (const std::string& l : socket.log) published = published || (l.rfind("connect ", 0) == 0 && l.size() > 6 && l.compare(l.size() - 6, 6, ":49731") == 0);
    EXPECT_TRUE(published) << "connects to the published port";
    socket.Up();
    socket.sink->OnConnect();
    link.restarts = true;
    socket.sink->OnClose();
    EXPECT_EQ(view.status, "searching Tokyo... ");
    link.ready = true;
    Tick(1);
    ASSERT_EQ(socket.connects.size(), 2u);
    Answer(PlaceReplyText(PlaceElement("1118370", "Tokyo", TownLocality("1118370", "Tokyo"))));
    Tick(1);
    EXPECT_EQ(view.status, "Tokyo Found  !");
    // No service at all: its reason at once and after the time-out.
    link.restarts = false;
    link.why = "cloudwick-feed.exe is missing beside Cloudwick.exe";
    Search("Tokyo");
    socket.sink->OnError();
    EXPECT_EQ(view.status, link.why);
    Tick(PlaceSearch::kTimeoutTicks + 1);
    EXPECT_EQ(view.status, link.why);
    // Accepted and never answered: the card's service is replaced, and
    // the search says so rather than "Not found".
    link.why.clear();
    link.keepsService = true;
    Search("Tokyo");
    socket.Up();
    socket.sink->OnConnect();
    Tick(PlaceSearch::kTimeoutTicks + 1);
    EXPECT_EQ(link.noAnswers, 1);
    EXPECT_EQ(view.status, kSilentServiceText);
}

TEST_F(PlaceSearchTest, NothingIsSentToAListenerThatIsNotTheService) {
    FakeServiceLink link;
    search.SetServiceLink(&link);
    link.ours = false;
    Search("Tokyo");
    socket.Up();
    socket.sink->OnConnect();
    EXPECT_TRUE(socket.sent.empty());
    EXPECT_EQ(view.status, kForeignListenerText);
}
