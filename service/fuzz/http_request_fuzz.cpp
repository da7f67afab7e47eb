// Any bytes a client could send, read by the Windows server's request
// reader: no crash, the same requests whether the bytes come in one piece
// or in two, memory bounded by the limits, and every request it accepts is
// one the router can take (a known method, a target without spaces or
// control bytes).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/http_request.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

struct Outcome {
    std::vector<std::string> requests;  // method, target, version, close of each request read
    bool bad = false;
};

// Reads `text` delivered in pieces cut at `cuts`.
Outcome Read(const std::string& text, const std::vector<std::size_t>& cuts) {
    const RequestLimits limits{512, 8, 256};
    HttpRequestReader reader(limits);
    Outcome o;
    std::size_t at = 0;
    auto status = HttpRequestReader::Status::NeedMore;
    for (std::size_t i = 0; i <= cuts.size(); ++i) {
        const std::size_t end = i < cuts.size() ? cuts[i] : text.size();
        status = reader.Add(text.data() + at, end - at);
        at = end;
        while (status == HttpRequestReader::Status::Ready) {
            const HttpRequest& r = reader.request();
            Check(!r.method.empty() && !r.target.empty());
            for (unsigned char c : r.target) Check(c > 0x20 && c != 0x7F);
            Check(r.version == "HTTP/1.1" || r.version == "HTTP/1.0");
            Check(r.headers.size() <= limits.maxHeaders);
            o.requests.push_back(r.method + " " + r.target + " " + r.version + (r.close ? " close" : ""));
            status = reader.Next();
        }
        if (status == HttpRequestReader::Status::Bad) {
            o.bad = true;
            break;
        }
        // While a request is incomplete, no more than a head and a body are held.
        Check(reader.buffered() <= limits.maxHeadBytes + limits.maxBodyBytes);
    }
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t cut = text.empty() ? 0 : (data[0] | data[1] << 8) % (text.size() + 1);

    const Outcome whole = Read(text, {});
    const Outcome split = Read(text, {cut});
    Check(whole.bad == split.bad);
    Check(whole.requests == split.requests);
    return 0;
}
