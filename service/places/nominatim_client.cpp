#include "places/nominatim_client.h"

#include <cctype>

#include "places/nominatim_json.h"
#include "model/url_encoding.h"
#include "upstream/client_group.h"

namespace {

// English names where OpenStreetMap has them ("Munich", not "Muenchen").
const char kDetails[] = "&format=jsonv2&addressdetails=1&accept-language=en";

}  // namespace

std::string NominatimSearchUrl(const std::string& base, const std::string& text, const std::string& countryCode) {
    std::string url = base + "/search?q=" + UrlEncode(text) + kDetails + "&limit=" + std::to_string(kNominatimResults);
    if (countryCode.size() == 2) {
        url += "&countrycodes=";
        for (char c : countryCode) url += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return url;
}

std::string NominatimLookupUrl(const std::string& base, int64_t placeId) {
    const OsmRef ref = OsmRefOf(placeId);
    return base + "/lookup?osm_ids=" + std::string(1, ref.type) + std::to_string(ref.id) + kDetails;
}

NominatimClient::NominatimClient(NominatimConfig config, UpstreamClient& client)
    : config_(std::move(config)), client_(client), gate_(config_.spacing, config_.longestWait, config_.clock, config_.sleep) {}

Fetched<std::vector<Place>> NominatimClient::Call(const std::string& url, const std::string& client) {
    int wait = 1;
    if (!gate_.Enter(client.empty() ? "" : ClientGroup(client), &wait)) {
        // Our own pace, not a fault of Nominatim's: no hold-off, and the
        // service is not shown as failing.
        return Fetched<std::vector<Place>>::NotAsked(
            "Nominatim allows one request a second and too many are waiting for their turn", wait,
            Trouble::SearchBusy);
    }
    const UpstreamReply r = client_.Get(url, config_.timeout);
    if (!r.transportOk)
        return Fetched<std::vector<Place>>::Failed("Nominatim unreachable: " + r.error, 0, Trouble::Unreachable);
    if (r.status != 200) {
        const int retry = r.status == 429 || r.status >= 500 ? std::min(r.retryAfter, 3600) : 0;
        return Fetched<std::vector<Place>>::Failed("Nominatim HTTP " + std::to_string(r.status), retry);
    }
    return ReadNominatimJson(r.body);
}

Fetched<std::vector<Place>> NominatimClient::Search(const std::string& text, const std::string& countryCode,
                                                    const std::string& client) {
    Fetched<std::vector<Place>> found = Call(NominatimSearchUrl(config_.baseUrl, text, countryCode), client);
    if (found.ok && found.value.size() > kNominatimResults) found.value.resize(kNominatimResults);
    return found;
}

Fetched<std::optional<Place>> NominatimClient::Lookup(int64_t placeId, const std::string& client) {
    if (!IsOsmPlaceId(placeId)) return Fetched<std::optional<Place>>::Good(std::nullopt);
    const Fetched<std::vector<Place>> found = Call(NominatimLookupUrl(config_.baseUrl, placeId), client);
    if (!found.ok) return Fetched<std::optional<Place>>::Like(found);
    for (const Place& p : found.value) {
        if (p.id == placeId) return Fetched<std::optional<Place>>::Good(p);
    }
    return Fetched<std::optional<Place>>::Good(std::nullopt);
}
