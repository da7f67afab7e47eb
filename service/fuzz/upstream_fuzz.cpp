// Any reply the upstream could give, read and written into the card's
// documents: no crash, and the parts the card reads stay inside its
// windows (2000 bytes for the weather, 1000 for a place search, with room
// for the reply headers).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "documents/feed_document.h"
#include "upstream/open_meteo_json.h"
#include "documents/place_document.h"

namespace {

// The service's longest reply headers before a place document: status line,
// Cache-Control, Content-Length, Content-Type, Date, Keep-Alive, X-Cache and
// the empty line come to 203 bytes at most.
constexpr std::size_t kHeaderRoom = 215;

void Check(bool ok) {
    if (!ok) std::abort();
}

Place LongPlace() {
    Place p;
    p.id = 9999999999;
    p.name = std::string(100, 'N');
    p.countryCode = "US";
    p.country = std::string(100, 'C');
    p.admin1 = std::string(100, 'A');
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const Fetched<Weather> w = ReadForecastJson(text);
    if (w.ok) {
        for (Units u : {Units::Imperial, Units::Metric}) {
            const std::string doc = WeatherDocument(LongPlace(), w.value, u);
            std::size_t p = doc.find("<yweather:forecast day=");
            Check(p != std::string::npos);
            p = doc.find("<yweather:forecast day=", p + 1);
            Check(p != std::string::npos);
            Check(doc.find("/>", p) + 2 + kHeaderRoom <= 2000);
            for (unsigned char c : doc) Check(c < 0x80);
        }
    }

    const Fetched<std::vector<Place>> found = ReadSearchJson(text);
    if (found.ok && !found.value.empty()) {
        const std::string doc = PlaceSearchDocument(found.value, 0);
        Check(doc.size() > 1000);
        Check(doc.find("</locality1>") + 12 + kHeaderRoom <= 1000);
        for (unsigned char c : doc) Check(c < 0x80);
    }
    ReadPlaceJson(text);
    ReadErrorReason(text);
    return 0;
}
