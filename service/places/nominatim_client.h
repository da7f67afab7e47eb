#pragma once
// Nominatim (OpenStreetMap's geocoder), the fallback for searches that
// Open-Meteo's GeoNames data does not answer: landmarks, airports, full
// postcodes. Kept within the public instance's usage policy: one request a
// second for the whole service (RateGate), the service's User-Agent with
// the operator's contact (the UpstreamClient's), answers cached by the
// service's caches, and the ODbL credit in the place document.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "upstream/rate_gate.h"
#include "upstream/upstream_client.h"
#include "model/weather_model.h"

struct NominatimConfig {
    std::string baseUrl = "https://nominatim.openstreetmap.org";  // + "/search", "/lookup"
    std::chrono::milliseconds timeout{5000};
    std::chrono::milliseconds spacing{1000};      // one request per spacing, whole service
    std::chrono::milliseconds longestWait{4000};  // a request that would wait longer is refused
    RateGate::Clock clock;                        // empty: the steady clock (tests give their own)
    RateGate::Sleep sleep;
};

constexpr std::size_t kNominatimResults = 5;

class NominatimClient {
public:
    // `client` makes the calls; it must outlive this.
    NominatimClient(NominatimConfig config, UpstreamClient& client);
    // Places for a typed text, best first; `countryCode` ("GB") narrows
    // the search when the text itself says where ("SW1A 1AA").
    // `client` is the asking address (its share of the turns, rate_gate.h).
    Fetched<std::vector<Place>> Search(const std::string& text, const std::string& countryCode,
                                       const std::string& client = "");
    // The place of an OSM place id (nominatim_json.h); ok without a place
    // when the object is gone.
    Fetched<std::optional<Place>> Lookup(int64_t placeId, const std::string& client = "");

private:
    Fetched<std::vector<Place>> Call(const std::string& url, const std::string& client);

    NominatimConfig config_;
    UpstreamClient& client_;
    RateGate gate_;
};

// The request URLs, exposed so tests can see exactly what goes upstream.
std::string NominatimSearchUrl(const std::string& base, const std::string& text, const std::string& countryCode);
std::string NominatimLookupUrl(const std::string& base, int64_t placeId);
