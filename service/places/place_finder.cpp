#include "places/place_finder.h"

#include "places/nominatim_json.h"
#include "places/search_terms.h"
#include "model/region_codes.h"

PlaceFinder::PlaceFinder(std::unique_ptr<Provider> main, std::unique_ptr<NominatimClient> fallback)
    : main_(std::move(main)), fallback_(std::move(fallback)) {}

Fetched<std::optional<Place>> PlaceFinder::LookupPlace(int64_t id, const CallFor& who) {
    if (!IsOsmPlaceId(id)) return main_->LookupPlace(id, who);
    if (!fallback_) return Fetched<std::optional<Place>>::Good(std::nullopt);
    return fallback_->Lookup(id, who.client);
}

Fetched<std::vector<Place>> PlaceFinder::SearchPlaces(const std::string& text, std::size_t count, const CallFor& who) {
    using Found = Fetched<std::vector<Place>>;
    const SearchTerms terms = ReadSearchTerms(text);
    if (!terms.qualifier.empty()) {
        Found all = main_->SearchPlaces(terms.name, kQualifiedSearchCount, who);
        if (!all.ok) return all;
        std::vector<Place> kept;
        for (Place& p : all.value) {
            if (kept.size() < count && InQualifier(p, terms.qualifier)) kept.push_back(std::move(p));
        }
        if (!kept.empty()) return Found::Good(std::move(kept));
    }
    Found found = main_->SearchPlaces(text, count, who);
    if (!found.ok || !found.value.empty() || !fallback_) return found;

    // A miss at the main source: Nominatim, told the country where the
    // text says it ("SW1A 1AA", "London UK").
    std::string country = terms.postcodeCountry;
    if (country.empty()) country = QualifierCountry(terms.qualifier);
    if (IsUsStateCode(country)) country.clear();  // "IL" may be Illinois: Nominatim reads the text itself
    Found osm = fallback_->Search(text, country, who.client);
    if (!osm.ok) return osm;
    std::vector<Place> places;
    for (Place& p : osm.value) {
        if (places.size() >= count) break;
        if (p.id != 0) {
            places.push_back(std::move(p));
            continue;
        }
        // Without an OSM object to refer to (postcodes from other
        // sources), the place is the town the answer names, from the main
        // source, whose ids last.
        Found town = main_->SearchPlaces(p.name, kQualifiedSearchCount, who);
        if (!town.ok) return town;
        const Place* best = nullptr;  // in the same country, in the same region if one is
        for (const Place& t : town.value) {
            if (t.countryCode != p.countryCode) continue;
            if (!best) best = &t;
            if (!p.admin1.empty() && InQualifier(t, p.admin1)) {
                best = &t;
                break;
            }
        }
        if (best) places.push_back(*best);
    }
    return Found::Good(std::move(places));
}

Fetched<Weather> PlaceFinder::FetchWeather(const Place& place, const CallFor& who) {
    return main_->FetchWeather(place, who);
}
