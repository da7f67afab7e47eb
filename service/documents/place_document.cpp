#include "documents/place_document.h"

#include <cctype>
#include <cstdio>

#include "documents/feed_document.h"
#include "model/feed_dates.h"
#include "model/place_ids.h"
#include "documents/card_text.h"
#include "model/region_codes.h"

namespace {

// Admin areas are shorter than the place name so the first place's woeid
// and locality stay inside the card's 1000-byte window.
constexpr std::size_t kMaxAdminLength = 24;

std::string Id(int64_t id) { return std::to_string(id > 0 ? id : 0); }

// An area's id as the card never reads it: a GeoNames id fits 32 bits, and
// anything longer would only push the first place's locality out of the
// card's window.
std::string AreaId(int64_t id) { return Id(id <= 0xFFFFFFFFll ? id : 0); }

std::string Area(const char* tag, const std::string& code, const char* type, int64_t id, const std::string& name) {
    const std::string text = CardText(name, kMaxAdminLength);
    if (text.empty()) return std::string("<") + tag + "/>";
    return std::string("<") + tag + " code=\"" + code + "\" type=\"" + type + "\" woeid=\"" + AreaId(id) + "\">" + text +
           "</" + tag + ">";
}

std::string Coordinate(double v) { return Decimal(v, 5); }

std::string LatLon(const char* tag, double lat, double lon) {
    return std::string("<") + tag + "><latitude>" + Coordinate(lat) + "</latitude><longitude>" + Coordinate(lon) +
           "</longitude></" + tag + ">";
}

int PopRank(int64_t population) {
    int rank = 0;
    for (int64_t p = population; p > 0 && rank < 15; p /= 10) ++rank;
    return rank;
}

std::string PlaceElement(const Place& p) {
    std::string name = CardText(p.name, kMaxNameLength);
    if (name.empty()) name = "Place " + Id(p.id);
    const std::string cc = RegionCode(p.countryCode, "");
    const bool us = p.countryCode == "US";
    const std::string state = UsStateCode(p.admin1);
    std::string s = "<place xml:lang=\"en-US\" xmlns=\"http://where.yahooapis.com/v1/schema.rng\" "
                    "yahoo:uri=\"http://where.yahooapis.com/v1/place/" + Id(p.id) + "\">";
    s += "<woeid>" + Id(p.id) + "</woeid>";
    s += "<placeTypeName code=\"7\">Town</placeTypeName>";
    s += "<name>" + name + "</name>";
    s += Area("country", cc, "Country", p.countryId, p.country);
    s += Area("admin1", us && !state.empty() ? "US-" + state : "", us ? "State" : "Region", p.admin1Id, p.admin1);
    s += Area("admin2", "", us ? "County" : "Department", p.admin2Id, p.admin2);
    s += "<admin3/>";
    s += "<locality1 type=\"Town\" woeid=\"" + Id(p.id) + "\">" + name + "</locality1>";
    s += "<locality2/>";
    const std::string postal = CardText(p.postcode, 12);
    s += postal.empty() ? "<postal/>" : "<postal type=\"Zip Code\" woeid=\"0\">" + postal + "</postal>";
    s += LatLon("centroid", p.latitude, p.longitude);
    // The source gives no extent: a box of about 10 km around the centre.
    s += "<boundingBox>" + LatLon("southWest", p.latitude - 0.05, p.longitude - 0.05) +
         LatLon("northEast", p.latitude + 0.05, p.longitude + 0.05) + "</boundingBox>";
    s += "<areaRank>1</areaRank><popRank>" + std::to_string(PopRank(p.population)) + "</popRank>";
    std::string tz;  // zone names such as "America/Chicago": keep only their own characters
    for (char c : p.timezone) {
        const bool ok = isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '_' || c == '-' || c == '+';
        if (ok && tz.size() < 40) tz += c;
    }
    s += "<timezone type=\"Time Zone\" woeid=\"0\">" + tz + "</timezone>";
    s += "</place>\n";
    return s;
}

std::string CreatedStamp(int64_t unixSeconds) {
    const LocalDateTime t = FromUnix(unixSeconds, 0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour, t.minute,
                  static_cast<int>(((unixSeconds % 60) + 60) % 60));
    return buf;
}

}  // namespace

std::string PlaceSearchDocument(const std::vector<Place>& places, int64_t createdUnix) {
    const std::size_t count = places.size() < kMaxPlaces ? places.size() : kMaxPlaces;
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    doc += "<query xmlns:yahoo=\"http://www.yahooapis.com/v1/base.rng\" yahoo:count=\"" + std::to_string(count) +
           "\" yahoo:created=\"" + CreatedStamp(createdUnix) + "\" yahoo:lang=\"en-US\">";
    if (count == 0) {
        doc += "<results/>";
    } else {
        doc += "<results>\n";
        for (std::size_t i = 0; i < count; ++i) doc += PlaceElement(places[i]);
        doc += "</results>";
    }
    doc += "</query>\n<!-- Place results based on GeoNames (geonames.org, CC BY 4.0), via Open-Meteo.com -->\n";
    bool osm = false;
    for (std::size_t i = 0; i < count; ++i) osm = osm || IsOsmPlaceId(places[i].id);
    if (osm) {
        doc += "<!-- Place data (c) OpenStreetMap contributors, ODbL 1.0, openstreetmap.org/copyright, "
               "found by Nominatim -->\n";
    }
    // The card reads a reply only once it holds more than 1000 bytes: a
    // match with few details would fall short and look like no match, and
    // an answer without a match would leave the card waiting 30 seconds
    // before it says "Not found". Every reply is made long enough; with no
    // place in it, the card reads it at once as not found.
    constexpr std::size_t kMinLength = 1100;
    if (doc.size() + 8 < kMinLength) {
        const std::string why = count == 0 ? " No place matches this search." : "";
        doc += "<!--" + why + std::string(kMinLength - doc.size() - 8 - why.size(), ' ') + "-->\n";
    }
    return doc;
}
