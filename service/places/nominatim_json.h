#pragma once
// Places from OpenStreetMap, as Nominatim's search and lookup give them
// (their place ids: model/place_ids.h).
#include <cstdint>
#include <string>
#include <vector>

#include "model/place_ids.h"
#include "model/weather_model.h"

// A /search or /lookup reply (format=jsonv2 or json, with addressdetails):
// a list of places. The place's name is the town it lies in ("Paris" for
// the Eiffel Tower, "London" for the postcode SW1A 1AA), else its own.
// Entries without a position, or with an OSM reference that cannot be a
// place id, are skipped; entries without any OSM reference (postcodes
// Nominatim takes from other sources) are kept with id 0.
Fetched<std::vector<Place>> ReadNominatimJson(const std::string& text);
