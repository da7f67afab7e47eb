// Reading replies that are not documents: when they are whole, their status
// and short reason, and the stale marker of a last-known document.
#include <gtest/gtest.h>

#include <string>

#include "app/short_reply.h"

namespace {
std::string Reply(const std::string& status, const std::string& headers, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\n" + headers + "\r\n" + body;
}
const std::string kPlain = "Content-Type: text/plain; charset=us-ascii\r\n";
}  // namespace

TEST(ShortReply, WholeWhenTheLengthHasArrived) {
    const struct { std::string reply; bool whole; } cases[] = {
        {Reply("503 Service Unavailable", kPlain + "Content-Length: 27\r\n", "Weather source unreachable\n"), true},
        {Reply("503 Service Unavailable", kPlain + "Content-Length: 28\r\n", "Weather source unreachable\n"), false},
        {Reply("404 Not Found", "content-length:0\r\n", ""), true},           // any case, no blank
        {Reply("200 OK", "Content-Length: 5\r\n", "abcdefgh"), true},          // more than named
        {Reply("200 OK", "Content-Type: text/html\r\n", "<html></html>"), false},  // no length: the close decides
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", false},                   // head not ended
        {Reply("200 OK", "Content-Length: -1\r\n", ""), false},
        {Reply("200 OK", "Content-Length: 12x\r\n", "123456789012"), false},
        {Reply("200 OK", "Content-Length: 99999999999999999999\r\n", ""), false},
        {"", false},
        {"\r\n\r\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplyIsWhole(c.reply), c.whole) << c.reply;
}

TEST(ShortReply, StatusAndTheFirstLineOfAPlainBody) {
    const struct { std::string reply; int status; std::string reason; } cases[] = {
        {Reply("503 Service Unavailable", kPlain + "Content-Length: 60\r\n",
               "Weather source unreachable\nThe service could not reach it.\n"), 503, "Weather source unreachable"},
        {Reply("429 Too Many Requests", kPlain, "Too many new places; wait a minute\r\nmore"), 429,
         "Too many new places; wait a minute"},
        {Reply("403 Forbidden", "Content-Type: TEXT/PLAIN\r\n", "  Not for web pages  "), 403, "Not for web pages"},
        // Control and non-ASCII bytes dropped, cut to 40 characters.
        {Reply("503 X", kPlain, "Paused\t for \x01 30 s \xE9t\xE9"), 503, "Paused for  30 s t"},
        {Reply("503 X", kPlain, std::string(50, 'a') + "\n"), 503, std::string(40, 'a')},
        // Not plain text: the status alone.
        {Reply("404 Not Found", "Content-Type: text/html\r\n", "<h1>Not Found</h1>"), 404, ""},
        {Reply("502 Bad Gateway", "", "Bad gateway"), 502, ""},
        {"HTTP/1.0 500 Internal Server Error\r\n", 500, ""},  // head not ended yet
        // Not HTTP.
        {"SSH-2.0-OpenSSH_9.2\r\n", 0, ""},
        {"HTTP/1.1 2x0 OK\r\n\r\n", 0, ""},
        {"HTTP/1.1 2000 OK\r\n\r\n", 0, ""},
        {"HTTP/1.1", 0, ""},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        const ShortReply r = ReadShortReply(c.reply);
        EXPECT_EQ(r.status, c.status) << c.reply;
        EXPECT_EQ(r.reason, c.reason) << c.reply;
    }
}

TEST(ShortReply, StaleMarkerOnlyInTheHead) {
    const struct { std::string reply; bool stale; } cases[] = {
        {Reply("200 OK", "Warning: 110 - \"Response is Stale\"\r\n", "<rss/>"), true},
        {Reply("200 OK", "Content-Length: 6\r\nwarning:110 - \"Response is Stale\"\r\n", "<rss/>"), true},
        {Reply("200 OK", "Warning: 199 - \"Misc\"\r\nWarning: 110 - \"Response is Stale\"\r\n", "x"), true},
        {Reply("200 OK", "Warning: 199 - \"Misc\"\r\n", "x"), false},
        {Reply("200 OK", "Warning: 1100 - \"x\"\r\n", "x"), false},
        {Reply("200 OK", "X-Warning: 110 - \"x\"\r\n", "x"), false},
        {Reply("200 OK", "", "Warning: 110 - \"in the body\"\r\n"), false},
        {"HTTP/1.1 200 OK\r\nWarning: 110", true},  // cut short after the code
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(HasStaleMarker(c.reply), c.stale) << c.reply;
}

TEST(ShortReply, ProblemWordingPrefersThePortThenTheReason) {
    const std::string unreachable = Reply("503 Service Unavailable", kPlain, "Weather source unreachable\n");
    const std::string page = Reply("404 Not Found", "Content-Type: text/html\r\n", "<h1>nginx</h1>");
    EXPECT_EQ(ReplyProblem(unreachable, false, "Weather service"), "Weather source unreachable");
    EXPECT_EQ(ReplyProblem(page, false, "Weather service"), "Weather service error 404");
    EXPECT_EQ(ReplyProblem(page, true, "Weather service"), kPortTakenText);
    EXPECT_EQ(ReplyProblem(unreachable, true, "Place search"), kPortTakenText);
    EXPECT_EQ(ReplyProblem(Reply("200 OK", "", ""), false, "x"), "");
    EXPECT_EQ(ReplyProblem("garbage", false, "x"), "");
    EXPECT_LE(std::string(kPortTakenText).size(), kMaxReasonChars);
}
