#include "stub_geocoders.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "sample_json.h"
#include "model/ascii.h"

namespace {

// GeoNames places as Open-Meteo's geocoding gives them.
struct GeoPlace {
    long long id;
    const char* name;
    const char* country;
    const char* countryName;
    const char* admin1;
    const char* timezone;
    double lat, lon;
    long long population;
    std::vector<std::string> postcodes;
};

const std::vector<GeoPlace>& GeoPlaces() {
    static const std::vector<GeoPlace> places = {
        {2988507, "Paris", "FR", "France", "\xC3\x8Ele-de-France", "Europe/Paris", 48.85341, 2.3488, 2138551,
         {"75001", "75002", "75003", "75004"}},
        {4717560, "Paris", "US", "United States", "Texas", "America/Chicago", 33.66094, -95.55551, 24782, {"75460"}},
        {4647963, "Paris", "US", "United States", "Tennessee", "America/Chicago", 36.302, -88.32671, 10156, {}},
        {4409896, "Springfield", "US", "United States", "Missouri", "America/Chicago", 37.21533, -93.29824, 169176, {}},
        {4951788, "Springfield", "US", "United States", "Massachusetts", "America/New_York", 42.10148, -72.58981,
         155929, {}},
        {4250542, "Springfield", "US", "United States", "Illinois", "America/Chicago", 39.80172, -89.64371, 116250,
         {"62701"}},
        {2643743, "London", "GB", "United Kingdom", "England", "Europe/London", 51.50853, -0.12574, 8961989, {}},
        {6058560, "London", "CA", "Canada", "Ontario", "America/Toronto", 42.98339, -81.23304, 346765, {}},
        {4887398, "Chicago", "US", "United States", "Illinois", "America/Chicago", 41.85003, -87.65005, 2746388,
         {"60601", "60602", "60610", "60611"}},
        {2950159, "Berlin", "DE", "Germany", "Land Berlin", "Europe/Berlin", 52.52437, 13.41053, 3426354,
         {"10115", "10117", "10119"}},
        {4670249, "Addison", "US", "United States", "Texas", "America/Chicago", 32.96179, -96.82917, 16263, {"75001"}},
    };
    return places;
}

std::string GeoJson(const GeoPlace& p) {
    std::string pcs;
    for (const std::string& c : p.postcodes) pcs += (pcs.empty() ? "\"" : ",\"") + c + "\"";
    return "{\"id\":" + std::to_string(p.id) + ",\"name\":\"" + p.name + "\",\"latitude\":" + std::to_string(p.lat) +
           ",\"longitude\":" + std::to_string(p.lon) + ",\"feature_code\":\"PPL\",\"country_code\":\"" + p.country +
           "\",\"timezone\":\"" + p.timezone + "\",\"population\":" + std::to_string(p.population) +
           (pcs.empty() ? "" : ",\"postcodes\":[" + pcs + "]") + ",\"country\":\"" + p.countryName +
           "\",\"admin1\":\"" + p.admin1 + "\"}";
}

// Open-Meteo's search: names that start with the text, or places that list
// the text as a postcode; the most populous first; the comma form and
// landmarks unknown, as in the real GeoNames data it serves.
std::string SearchJson(const std::string& name, std::size_t count) {
    std::vector<const GeoPlace*> found;
    for (const GeoPlace& p : GeoPlaces()) {
        const bool byName = !name.empty() && AsciiLower(p.name).rfind(AsciiLower(name), 0) == 0;
        const bool byPostcode = std::find(p.postcodes.begin(), p.postcodes.end(), name) != p.postcodes.end();
        if (byName || byPostcode) found.push_back(&p);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const GeoPlace* a, const GeoPlace* b) { return a->population > b->population; });
    if (found.size() > count) found.resize(count);
    if (found.empty()) return "{\"generationtime_ms\":0.3}";
    std::string out = "{\"results\":[";
    for (std::size_t i = 0; i < found.size(); ++i) out += (i ? "," : "") + GeoJson(*found[i]);
    return out + "],\"generationtime_ms\":0.9}";
}

// OpenStreetMap objects as Nominatim's jsonv2 gives them.
struct OsmObject {
    const char* query;  // the lower-case text that finds it
    const char* json;
};

const char kLicence[] = "\"licence\":\"Data \xC2\xA9 OpenStreetMap contributors, ODbL 1.0. http://osm.org/copyright\",";

const OsmObject kOsm[] = {
    {"eiffel tower",
     "{\"place_id\":335997640,%L\"osm_type\":\"way\",\"osm_id\":5013364,\"lat\":\"48.8582599\",\"lon\":\"2.2945006\","
     "\"category\":\"man_made\",\"type\":\"tower\",\"place_rank\":30,\"importance\":0.67,\"addresstype\":\"man_made\","
     "\"name\":\"Eiffel Tower\",\"display_name\":\"Eiffel Tower, Avenue Gustave Eiffel, Paris, France\","
     "\"address\":{\"man_made\":\"Eiffel Tower\",\"road\":\"Avenue Gustave Eiffel\",\"suburb\":\"Paris 7e Arrondissement\","
     "\"city\":\"Paris\",\"state\":\"\xC3\x8Ele-de-France\",\"ISO3166-2-lvl4\":\"FR-IDF\",\"postcode\":\"75007\","
     "\"country\":\"France\",\"country_code\":\"fr\"}}"},
    {"golden gate bridge",
     "{\"place_id\":297467920,%L\"osm_type\":\"way\",\"osm_id\":1005856457,\"lat\":\"37.8199286\",\"lon\":\"-122.4782551\","
     "\"category\":\"bridge\",\"type\":\"suspension\",\"name\":\"Golden Gate Bridge\","
     "\"display_name\":\"Golden Gate Bridge, San Francisco, California, United States\","
     "\"address\":{\"bridge\":\"Golden Gate Bridge\",\"city\":\"San Francisco\",\"county\":\"San Francisco\","
     "\"state\":\"California\",\"ISO3166-2-lvl4\":\"US-CA\",\"country\":\"United States\",\"country_code\":\"us\"}}"},
    {"jfk",
     "{\"place_id\":307012345,%L\"osm_type\":\"relation\",\"osm_id\":5763040,\"lat\":\"40.6413111\",\"lon\":\"-73.7781391\","
     "\"category\":\"aeroway\",\"type\":\"aerodrome\",\"name\":\"John F. Kennedy International Airport\","
     "\"display_name\":\"John F. Kennedy International Airport, Queens, City of New York, New York, United States\","
     "\"address\":{\"aeroway\":\"John F. Kennedy International Airport\",\"suburb\":\"Queens\","
     "\"city\":\"City of New York\",\"state\":\"New York\",\"ISO3166-2-lvl4\":\"US-NY\",\"postcode\":\"11430\","
     "\"country\":\"United States\",\"country_code\":\"us\"}}"},
    // A postcode from outside OpenStreetMap: no OSM object to refer to.
    {"sw1a 1aa",
     "{\"place_id\":1040503,%L\"lat\":\"51.5010091\",\"lon\":\"-0.1415874\",\"category\":\"place\","
     "\"type\":\"postcode\",\"addresstype\":\"postcode\",\"name\":\"SW1A 1AA\","
     "\"display_name\":\"SW1A 1AA, London, England, United Kingdom\","
     "\"address\":{\"postcode\":\"SW1A 1AA\",\"city\":\"London\",\"state\":\"England\","
     "\"ISO3166-2-lvl4\":\"GB-ENG\",\"country\":\"United Kingdom\",\"country_code\":\"gb\"}}"},
};

std::string WithLicence(const char* json) {
    std::string s = json;
    const std::size_t at = s.find("%L");
    return s.replace(at, 2, kLicence);
}

std::string OsmKey(const char* json) {
    const std::string s = json;
    const std::size_t t = s.find("\"osm_type\":\"");
    const std::size_t i = s.find("\"osm_id\":");
    if (t == std::string::npos || i == std::string::npos) return "";
    const char type = static_cast<char>(toupper(static_cast<unsigned char>(s[t + 12])));
    return type + s.substr(i + 9, s.find(',', i) - i - 9);
}

}  // namespace

StubGeocoders::StubGeocoders() : server_(std::make_unique<httplib::Server>()) {
    httplib::Server& s = *server_;
    s.Get("/v1/search", [this](const httplib::Request& req, httplib::Response& res) {
        Note(openMeteo_, req.target, req.get_header_value("User-Agent"));
        const std::string count = req.get_param_value("count");
        res.set_content(SearchJson(req.get_param_value("name"), count.empty() ? 10 : std::stoul(count)),
                        "application/json");
    });
    s.Get("/v1/get", [this](const httplib::Request& req, httplib::Response& res) {
        Note(openMeteo_, req.target, req.get_header_value("User-Agent"));
        for (const GeoPlace& p : GeoPlaces()) {
            if (std::to_string(p.id) == req.get_param_value("id")) return res.set_content(GeoJson(p), "application/json");
        }
        res.status = 400;
        res.set_content("{\"error\":true,\"reason\":\"Location ID not found.\"}", "application/json");
    });
    s.Get("/v1/forecast", [](const httplib::Request& req, httplib::Response& res) {
        const bool f = req.get_param_value("temperature_unit") == "fahrenheit";
        res.set_content(ForecastJson(f ? "\xC2\xB0" "F" : "\xC2\xB0" "C", f ? 29.3 : -1.5, f ? 23.1 : -4.9, 10.2, 2, 1),
                        "application/json");
    });
    s.Get("/search", [this](const httplib::Request& req, httplib::Response& res) {
        Note(nominatim_, req.target, req.get_header_value("User-Agent"));
        std::string out = "[";
        for (const OsmObject& o : kOsm) {
            if (AsciiLower(req.get_param_value("q")) == o.query) out += WithLicence(o.json);
        }
        res.set_content(out + "]", "application/json");
    });
    s.Get("/lookup", [this](const httplib::Request& req, httplib::Response& res) {
        Note(nominatim_, req.target, req.get_header_value("User-Agent"));
        std::string out = "[";
        for (const OsmObject& o : kOsm) {
            if (!OsmKey(o.json).empty() && OsmKey(o.json) == req.get_param_value("osm_ids")) out += WithLicence(o.json);
        }
        res.set_content(out + "]", "application/json");
    });
    port_ = s.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("stub geocoders cannot bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

StubGeocoders::~StubGeocoders() {
    server_->stop();
    thread_.join();
}

void StubGeocoders::Note(std::vector<Call>& calls, const std::string& target, const std::string& userAgent) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back({target, userAgent, std::chrono::steady_clock::now()});
}

std::string StubGeocoders::ForecastUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/v1/forecast"; }
std::string StubGeocoders::GeocodingUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/v1"; }
std::string StubGeocoders::NominatimUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<StubGeocoders::Call> StubGeocoders::OpenMeteoSearches() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openMeteo_;
}

std::vector<StubGeocoders::Call> StubGeocoders::NominatimCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return nominatim_;
}
