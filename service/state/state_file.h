#pragma once
// The form of the files the service keeps between runs (state_store.h): a
// first line naming the program, the form's version and the kind of file,
// then named fields each with its length, then a checksum of all that. A
// file cut short, changed by hand, of another kind or another version is
// not read at all.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "upstream/upstream_gate.h"
#include "model/weather_model.h"

// The version of the form; a file of another version is ignored.
constexpr int kStateVersion = 1;
// Larger files are not read.
constexpr std::size_t kMaxStateFile = 64 * 1024;

using StateFields = std::vector<std::pair<std::string, std::string>>;

// The file's bytes for `kind` ("budget", "place") and `fields` (names of
// lower-case letters and '_').
std::string WriteStateFile(const std::string& kind, const StateFields& fields);

// The fields of a file of `kind`; nothing when the bytes are not a whole,
// unchanged file of that kind and version.
std::optional<std::map<std::string, std::string>> ReadStateFile(const std::string& bytes, const std::string& kind);

// The last good forecast of a place, as kept.
struct KeptForecast {
    Place place;
    int64_t storedUnix = 0;  // when it was fetched
    std::string imperial, metric;  // the two documents, as served
};

std::string WriteKeptForecast(const KeptForecast& k);
std::optional<KeptForecast> ReadKeptForecast(const std::string& bytes);

std::string WriteGateSnapshot(const GateSnapshot& s);
std::optional<GateSnapshot> ReadGateSnapshot(const std::string& bytes);
