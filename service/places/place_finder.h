#pragma once
// Finds what users type. In front of the main source (Open-Meteo's
// GeoNames search), it reads a qualifier typed without a comma ("Paris TX",
// "London UK") and keeps the places it names; when the main source has no
// match (landmarks, airports, full postcodes: "Eiffel Tower", "JFK",
// "SW1A 1AA"), it asks Nominatim. OpenStreetMap place ids (nominatim_json.h)
// are looked up at Nominatim, everything else at the main source.
#include <memory>

#include "places/nominatim_client.h"
#include "upstream/provider.h"

// Places asked of the main source when a qualifier narrows the search:
// enough that "Paris" in Texas is among the Parises.
constexpr std::size_t kQualifiedSearchCount = 100;

class PlaceFinder : public Provider {
public:
    // `fallback` may be null: no Nominatim.
    PlaceFinder(std::unique_ptr<Provider> main, std::unique_ptr<NominatimClient> fallback);
    const char* Name() const override { return main_->Name(); }
    Fetched<std::optional<Place>> LookupPlace(int64_t id, const CallFor& who) override;
    Fetched<std::vector<Place>> SearchPlaces(const std::string& text, std::size_t count, const CallFor& who) override;
    Fetched<Weather> FetchWeather(const Place& place, const CallFor& who) override;
    std::optional<UpstreamGate::State> GateState() const override { return main_->GateState(); }

private:
    std::unique_ptr<Provider> main_;
    std::unique_ptr<NominatimClient> fallback_;
};
