#pragma once
// Builds the place-search reply the card reads (a geo.places result).
#include <cstdint>
#include <string>
#include <vector>

#include "model/weather_model.h"

constexpr std::size_t kMaxPlaces = 10;

// Up to kMaxPlaces places in the given order; none gives the empty result.
// `createdUnix` is the time written as yahoo:created.
std::string PlaceSearchDocument(const std::vector<Place>& places, int64_t createdUnix);
