// Any query string the card (or anyone) could send, through the service's
// request handling with the built-in sample data: no crash, only the
// expected statuses, and only ASCII documents.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "feed/feed_service.h"
#include "documents/card_text.h"
#include "upstream/sample_provider.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

FeedService& Service() {
    static SampleProvider provider([] { return int64_t{1796745000}; });
    static FeedService service(provider, ServiceRules{}, [] { return std::chrono::steady_clock::now(); },
                               [] { return int64_t{1796745000}; });
    return service;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string raw(reinterpret_cast<const char*>(data) + 1, size - 1);
    const ServiceReply r = (data[0] & 1) ? Service().Places(raw) : Service().Weather(raw);
    Check(r.status == 200 || r.status == 400 || r.status == 414);
    if (r.status == 200) {
        for (unsigned char c : r.body) Check(c < 0x80);
    }

    const std::string search = SearchText(raw, 100);
    Check(search.size() <= 100 && IsValidUtf8(search));
    const std::string shown = CardText(raw, 40);
    Check(shown.size() <= 40 && shown.find_first_of("<>\"=/:&") == std::string::npos);
    return 0;
}
