#pragma once
// Reads Open-Meteo's JSON answers into plain structs. Nothing here touches
// the network; a reply that cannot be read gives a failed Fetched.
#include <optional>
#include <string>
#include <vector>

#include "model/weather_model.h"

// A /v1/forecast reply (current + daily variables as OpenMeteoClient asks).
Fetched<Weather> ReadForecastJson(const std::string& text);

// A /v1/search reply; no "results" key means no match.
Fetched<std::vector<Place>> ReadSearchJson(const std::string& text);

// One place object, as /v1/get returns it.
Fetched<Place> ReadPlaceJson(const std::string& text);

// The "reason" of an {"error":true,"reason":"..."} reply, or "".
std::string ReadErrorReason(const std::string& text);
