#include "places/nominatim_json.h"

#include <cctype>
#include <cstdlib>

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

std::string Text(const json& obj, const char* key) {
    const auto it = obj.find(key);
    return it != obj.end() && it->is_string() ? it->get<std::string>() : "";
}

// Nominatim writes numbers as strings in some formats ("osm_id": "107775",
// "lat": "51.50"); both forms are read.
bool Number(const json& obj, const char* key, double& out) {
    const auto it = obj.find(key);
    if (it == obj.end()) return false;
    if (it->is_number()) {
        out = it->get<double>();
        return true;
    }
    if (!it->is_string()) return false;
    const std::string s = it->get<std::string>();
    if (s.empty() || s.size() > 32) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
}

bool WholeNumber(const json& obj, const char* key, int64_t& out) {
    const auto it = obj.find(key);
    if (it == obj.end()) return false;
    if (it->is_number_integer()) {
        out = it->get<int64_t>();
        return true;
    }
    if (!it->is_string()) return false;
    const std::string s = it->get<std::string>();
    if (s.empty() || s.size() > 15) return false;
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

char TypeLetter(const std::string& t) {
    if (t == "node" || t == "N") return 'N';
    if (t == "way" || t == "W") return 'W';
    if (t == "relation" || t == "R") return 'R';
    return 0;
}

std::string First(const json& address, std::initializer_list<const char*> keys) {
    for (const char* k : keys) {
        const std::string v = Text(address, k);
        if (!v.empty()) return v;
    }
    return "";
}

bool PlaceFrom(const json& r, Place& p) {
    if (!r.is_object()) return false;
    int64_t osmId = 0;
    double lat = 0, lon = 0;
    if (!Number(r, "lat", lat) || !Number(r, "lon", lon)) return false;
    if (!(lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180)) return false;
    // Postcodes from outside OpenStreetMap come without an OSM object.
    const bool hasRef = r.contains("osm_type") || r.contains("osm_id");
    if (hasRef) {
        if (!WholeNumber(r, "osm_id", osmId)) return false;
        p.id = OsmPlaceId(TypeLetter(Text(r, "osm_type")), osmId);
        if (p.id == 0) return false;
    }
    p.latitude = lat;
    p.longitude = lon;
    const auto a = r.find("address");
    const json address = a != r.end() && a->is_object() ? *a : json::object();
    p.name = First(address, {"city", "town", "village", "municipality", "hamlet", "suburb", "city_district"});
    if (p.name.empty()) p.name = Text(r, "name");
    if (p.name.empty()) {
        const std::string display = Text(r, "display_name");
        p.name = display.substr(0, display.find(','));
    }
    if (p.name.empty()) return false;
    const std::string cc = Text(address, "country_code");
    if (cc.size() == 2) p.countryCode = {static_cast<char>(toupper(static_cast<unsigned char>(cc[0]))),
                                         static_cast<char>(toupper(static_cast<unsigned char>(cc[1])))};
    p.country = Text(address, "country");
    p.admin1 = First(address, {"state", "province", "region", "state_district"});
    p.admin2 = First(address, {"county", "state_district"});
    if (p.admin2 == p.admin1) p.admin2.clear();
    p.postcode = Text(address, "postcode");
    return true;
}

}  // namespace

Fetched<std::vector<Place>> ReadNominatimJson(const std::string& text) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_array()) return Fetched<std::vector<Place>>::Failed("Nominatim reply is not a JSON list");
    std::vector<Place> places;
    for (const json& r : doc) {
        Place p;
        if (PlaceFrom(r, p)) places.push_back(std::move(p));
    }
    return Fetched<std::vector<Place>>::Good(places);
}
