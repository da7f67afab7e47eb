#include "core/http_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Status = HttpRequestReader::Status;

const std::string kCardRequest =
    "GET /forecastrss?w=4250542 HTTP/1.1\r\n"
    "Accept: */*\r\n"
    "Accept-Language: en-us\r\n"
    "Accept-Encoding: \r\n"
    "User-Agent: \r\n"
    "Host: localhost\r\n"
    "Connection: Keep-Alive\r\n"
    "\r\n";

Status AddAll(HttpRequestReader& r, const std::string& bytes) { return r.Add(bytes.data(), bytes.size()); }

TEST(HttpRequestReader, TheCardsRequestReadsTheSameWholeOrByteByByte) {
    HttpRequestReader whole;
    ASSERT_EQ(AddAll(whole, kCardRequest), Status::Ready);
    HttpRequestReader pieces;
    for (std::size_t i = 0; i + 1 < kCardRequest.size(); ++i) ASSERT_EQ(pieces.Add(&kCardRequest[i], 1), Status::NeedMore) << i;
    ASSERT_EQ(pieces.Add(&kCardRequest.back(), 1), Status::Ready);
    for (const HttpRequestReader* r : {&whole, &pieces}) {
        EXPECT_EQ(r->request().method, "GET");
        EXPECT_EQ(r->request().target, "/forecastrss?w=4250542");
        EXPECT_EQ(r->request().version, "HTTP/1.1");
        EXPECT_EQ(r->request().Header("host"), "localhost");
        EXPECT_EQ(r->request().Header("user-agent"), "");
        EXPECT_EQ(r->request().headers.size(), 6u);
        EXPECT_FALSE(r->request().close);
    }
}

TEST(HttpRequestReader, RequestsSentBackToBackComeOneAtATime) {
    HttpRequestReader r;
    const std::string second = "HEAD /health HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc";
    ASSERT_EQ(AddAll(r, "\r\n" + kCardRequest + second + "GET /third"), Status::Ready);
    EXPECT_EQ(r.request().target, "/forecastrss?w=4250542");
    ASSERT_EQ(r.Next(), Status::Ready);
    EXPECT_EQ(r.request().method, "HEAD");
    EXPECT_EQ(r.request().target, "/health");  // its body is dropped, not read as the next request
    EXPECT_EQ(r.Next(), Status::NeedMore);
    EXPECT_EQ(AddAll(r, " HTTP/1.1\r\n\r\n"), Status::Ready);
    EXPECT_EQ(r.request().target, "/third");
    EXPECT_EQ(r.Next(), Status::NeedMore);
    EXPECT_EQ(r.buffered(), 0u);
}

TEST(HttpRequestReader, ConnectionCloseAndHttp10) {
    struct Case {
        const char* version;
        const char* connection;
        bool close;
    };
    for (const Case& c : {Case{"HTTP/1.1", nullptr, false}, Case{"HTTP/1.1", "close", true},
                          Case{"HTTP/1.1", "Keep-Alive, CLOSE", true}, Case{"HTTP/1.1", "closed", false},
                          Case{"HTTP/1.0", nullptr, true}, Case{"HTTP/1.0", "keep-alive", false}}) {
        HttpRequestReader r;
        std::string text = std::string("GET / ") + c.version + "\r\n";
        if (c.connection) text += std::string("Connection: ") + c.connection + "\r\n";
        ASSERT_EQ(AddAll(r, text + "\r\n"), Status::Ready) << text;
        EXPECT_EQ(r.request().close, c.close) << text;
    }
}

TEST(HttpRequestReader, RefusesWhatIsNotAnHttpRequest) {
    const std::string longLine = "X-Long: " + std::string(9000, 'a') + "\r\n";
    std::string manyHeaders;
    for (int i = 0; i < 101; ++i) manyHeaders += "X-" + std::to_string(i) + ": 1\r\n";
    for (const std::string& text : std::vector<std::string>{
             "HELLO\r\n\r\n",
             "get / HTTP/1.1\r\n\r\n",
             "FETCH / HTTP/1.1\r\n\r\n",
             "GET / HTTP/2.0\r\n\r\n",
             "GET /  HTTP/1.1\r\n\r\n",
             "GET /a b HTTP/1.1\r\n\r\n",
             std::string("GET /\0 HTTP/1.1\r\n\r\n", 19),
             "GET /\x01 HTTP/1.1\r\n\r\n",
             "GET / HTTP/1.1\n\n",
             "GET / HTTP/1.1\r\nHost: x\n",
             "GET / HTTP/1.1\r\nNoColon\r\n\r\n",
             "GET / HTTP/1.1\r\nBad Name: x\r\n\r\n",
             "GET / HTTP/1.1\r\nA: b\r\n folded\r\n\r\n",
             "GET / HTTP/1.1\r\nA: b\x01\r\n\r\n",
             "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
             "GET / HTTP/1.1\r\nContent-Length: x\r\n\r\n",
             "GET / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
             "GET / HTTP/1.1\r\nContent-Length: 8193\r\n\r\n",
             "GET / HTTP/1.1\r\n" + longLine + "\r\n",
             "GET / HTTP/1.1\r\n" + manyHeaders + "\r\n",
         }) {
        HttpRequestReader r;
        EXPECT_EQ(AddAll(r, text), Status::Bad) << text.substr(0, 60);
    }
}

TEST(HttpRequestReader, AHeadThatNeverEndsIsRefusedAtItsLimit) {
    HttpRequestReader line(RequestLimits{100, 10, 10});
    const std::string bytes = "GET /" + std::string(95, 'a');
    EXPECT_EQ(line.Add(bytes.data(), bytes.size()), Status::NeedMore);
    EXPECT_EQ(line.Add("a", 1), Status::Bad);
    EXPECT_EQ(line.badStatus(), 414);  // the request line alone is too long
    HttpRequestReader headers(RequestLimits{100, 10, 10});
    const std::string head = "GET / HTTP/1.1\r\nX: " + std::string(90, 'a');
    EXPECT_EQ(headers.Add(head.data(), head.size()), Status::Bad);
    EXPECT_EQ(headers.badStatus(), 400);
}

TEST(HttpRequestReader, TypedBytesAboveAsciiPassAsTheCardSendsThem) {
    HttpRequestReader r;
    ASSERT_EQ(AddAll(r, "GET /v1/public/yql?q=text%20=%20'Z\xFCrich'&x HTTP/1.1\r\n\r\n"), Status::Ready);
    EXPECT_EQ(r.request().target, "/v1/public/yql?q=text%20=%20'Z\xFCrich'&x");
}

}  // namespace
