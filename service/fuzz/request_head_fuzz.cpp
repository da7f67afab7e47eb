// Any bytes a client could send, read as the server reads a request head
// (Beast's parser with the head limit), screened and turned into the
// client's address and the log line: no crash; a head that passes the
// screen has no body and one Host at most; every refusal's first line fits
// the card's line; every log line is one line of printable ASCII.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <boost/beast/http/parser.hpp>

#include "http/client_address.h"
#include "http/request_log.h"
#include "http/request_screen.h"
#include "server/request_facts.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckLine(const std::string& line) {
    Check(!line.empty() && line.back() == '\n');
    for (std::size_t i = 0; i + 1 < line.size(); ++i) Check(line[i] >= 0x20 && line[i] < 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    namespace http = boost::beast::http;
    http::request_parser<http::empty_body> parser;
    parser.header_limit(512);
    boost::beast::error_code ec;
    const std::size_t used = parser.put(boost::asio::buffer(data, size), ec);
    Check(used <= size);
    if (ec || !parser.is_header_done()) return 0;
    const auto& head = parser.get();
    std::string forwardedFor;
    const RequestFacts facts = FactsOf(head, &forwardedFor);
    const auto refusal = ScreenRequest(facts, ScreenRules{});
    if (refusal) {
        const std::string& body = refusal->reply.body;
        const std::size_t eol = body.find('\n');
        Check(eol != std::string::npos && eol <= 40);
        for (std::size_t i = 0; i < eol; ++i) Check(body[i] >= 0x20 && body[i] < 0x7F);
    } else {
        Check(facts.hosts.size() <= 1 && !facts.transferEncoding && !facts.nonZeroLength && facts.contentLengths <= 1);
    }
    const std::string client = ClientAddress("127.0.0.1", forwardedFor, {"127.0.0.1"});
    Check(client.size() <= 45);
    ServiceReply r = refusal ? refusal->reply : ServiceReply{};
    CheckLine(RequestLogLine(0, client, std::string(head.method_string()), std::string(head.target()), r));
    return 0;
}
