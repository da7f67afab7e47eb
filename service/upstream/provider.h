#pragma once
// Where places and weather come from: the live source or the built-in set.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "upstream/upstream_gate.h"
#include "model/weather_model.h"

class Provider {
public:
    virtual ~Provider() = default;
    virtual const char* Name() const = 0;
    // `who` says whom a call is for and whether it refreshes a place in use
    // (upstream_gate.h): the order of the queue and the budget's share.
    // The place with this id; an ok answer without a place means "no such id".
    virtual Fetched<std::optional<Place>> LookupPlace(int64_t id, const CallFor& who) = 0;
    // Places matching a cleaned search text (valid UTF-8), best first.
    virtual Fetched<std::vector<Place>> SearchPlaces(const std::string& text, std::size_t count,
                                                     const CallFor& who) = 0;
    // Current conditions and five days of forecast, in metric units (one
    // call serves both of the card's unit systems).
    virtual Fetched<Weather> FetchWeather(const Place& place, const CallFor& who) = 0;
    // The gate in front of the source, for the health report; none for a
    // source that makes no calls.
    virtual std::optional<UpstreamGate::State> GateState() const { return std::nullopt; }
};
