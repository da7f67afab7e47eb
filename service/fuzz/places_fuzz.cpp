// Any text an upstream or the system's data could hand the place side of
// the service: Nominatim's JSON, POSIX TZ rule strings (TZif footers) and
// typed search texts. No crash; every place read has a position on Earth
// and an id that is an OpenStreetMap place id (or 0); zone texts fit the
// documents; the place document built from what was read stays ASCII and
// keeps the card's 1000-byte window.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "places/nominatim_json.h"
#include "documents/place_document.h"
#include "places/search_terms.h"
#include "documents/zone_rules.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const Fetched<std::vector<Place>> found = ReadNominatimJson(text);
    if (found.ok) {
        for (const Place& p : found.value) {
            Check(p.id == 0 || IsOsmPlaceId(p.id));
            Check(p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180);
            Check(!p.name.empty());
        }
        if (!found.value.empty()) {
            const std::string doc = PlaceSearchDocument(found.value, 0);
            Check(doc.size() > 1000);
            Check(doc.find("</locality1>") + 12 + 170 <= 1000);
            for (unsigned char c : doc) Check(c < 0x80);
        }
    }

    if (const auto rule = ReadZoneRule(text)) {
        for (int64_t t : {int64_t{0}, int64_t{1796745000}, int64_t{1782900000}, int64_t{-2000000000},
                          int64_t{4102444800}}) {
            const ZoneState s = ZoneAt(*rule, t);
            Check(s.abbreviation == rule->standardName || s.abbreviation == rule->dstName);
            Check(s.offsetSeconds == rule->standardOffset || s.offsetSeconds == rule->dstOffset);
        }
    }
    const int offset = size >= 2 ? (data[0] * 256 + data[1]) * 5 - 90000 : 0;  // about -25 h to +66 h
    Check(GmtOffsetText(offset).size() <= 16);

    const SearchTerms terms = ReadSearchTerms(text);
    Check(terms.name.size() <= text.size() && terms.qualifier.size() <= text.size());
    Place p;
    p.countryCode = "US";
    p.admin1 = text;
    InQualifier(p, text);
    QualifierCountry(text);
    return 0;
}
