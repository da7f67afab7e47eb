#pragma once
// Builds the weather feed document the card reads, in the element order,
// attribute order and spacing of the old feed.
#include <cstdint>
#include <optional>
#include <string>

#include "model/weather_model.h"

// The 17 characters the card skips after "<title>".
extern const char kTitleLeadIn[];

// Longest place name, region and country written into a document; with
// these caps every element the card reads stays inside its 2000-byte window.
constexpr std::size_t kMaxNameLength = 40;
constexpr std::size_t kMaxRegionLength = 24;
constexpr std::size_t kMaxCountryLength = 40;
// The longest zone text: "GMT+10:30" (Lord Howe Island in its summer,
// Chatham Islands at +12:45 and +13:45). Every zone of the time-zone data
// fits; the card shows it after the time and reads it at any length.
constexpr std::size_t kMaxZoneLength = 9;

// "City, RC" as shown in the card's title.
std::string PlaceTitle(const Place& place);

// The whole document for `place`. The description block goes after the
// forecast elements: the card parses the first 2000 bytes of the reply, so
// everything it reads must come before that point.
std::string WeatherDocument(const Place& place, const Weather& weather, Units units);

// A weather document made at `storedUnix` (the service's clock) as served
// at `nowUnix`: its forecast lines start at the place's date at `nowUnix`,
// the earlier kept days dropped; everything else (the build time
// included) stays as made. Nothing when the kept days do not reach that
// date by two days, or the document is not one WeatherDocument made. The
// place's offset is the one the document's build time shows.
std::optional<std::string> DocumentServedAt(const std::string& doc, int64_t storedUnix, int64_t nowUnix);

// The short document the old feed gave for an unknown place id.
std::string NotFoundDocument();

// Number spellings used in the feed.
std::string WholeNumber(double v);         // "-3", "28"
std::string Decimal(double v, int places);  // "9.66", "10" (trailing zeros dropped)
