#pragma once
// Reads Open-Meteo's JSON answers into plain structs. Nothing here touches
// the network; a reply that cannot be read gives a failed Fetched.
#include <optional>
#include <string>
#include <vector>

#include "model/feed_dates.h"
#include "model/weather_model.h"

// A /v1/forecast reply (current + daily variables as OpenMeteoClient asks),
// in metric units whatever units it came in. What the documents rely on is
// checked and a reply that fails is refused: times in a form the source
// writes, an offset, known units, values within the physical records, whole
// WMO codes, and consecutive days from the current date on (earlier days
// are dropped). A null is a missing value.
Fetched<Weather> ReadForecastJson(const std::string& text);

// A time as the source may write it: "YYYY-MM-DDTHH:MM", with ":SS" or not
// (the seconds dropped), with a zone ("Z", "+02:00", "-0530", "+09") or not;
// as the local time of a place `utcOffsetSeconds` east of UTC.
std::optional<LocalDateTime> ReadReplyTime(const std::string& text, int utcOffsetSeconds);

// A /v1/search reply; no "results" key means no match.
Fetched<std::vector<Place>> ReadSearchJson(const std::string& text);

// One place object, as /v1/get returns it.
Fetched<Place> ReadPlaceJson(const std::string& text);

// The "reason" of an {"error":true,"reason":"..."} reply, or "".
std::string ReadErrorReason(const std::string& text);
