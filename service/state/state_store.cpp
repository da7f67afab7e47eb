#include "state/state_store.h"

#include <cstdio>

StateStore::StateStore(std::string folder, Note note) : folder_(std::move(folder)), note_(std::move(note)) {}

std::string StateStore::PlaceFile(int64_t placeId) {
    // Ids near each other (GeoNames numbers places of a region in a run)
    // spread over the slots.
    const uint64_t mixed = static_cast<uint64_t>(placeId) * 0x9E3779B97F4A7C15ull;
    return "place-" + std::to_string((mixed >> 32) % kPlaceSlots) + ".state";
}

std::string StateFolderBeside(const std::string& programFolder) {
    if (programFolder.empty()) return "cloudwick-feed-state";
    const char last = programFolder.back();
    return programFolder + (last == '\\' || last == '/' ? "" : "\\") + "cloudwick-feed-state";
}

std::optional<std::string> StateStore::Read(const std::string& name) const {
    if (folder_.empty()) return std::nullopt;
    std::string bytes;
    if (!ReadFileContents(folder_ + "/" + name, kMaxStateFile, bytes)) return std::nullopt;
    if (bytes.size() > kMaxStateFile) return std::nullopt;
    return bytes;
}

void StateStore::Write(const std::string& name, const std::string& bytes) {
    if (folder_.empty() || bytes.size() > kMaxStateFile) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    bool ok = folderMade_ || MakeStateFolder(folder_, error);
    folderMade_ = ok;
    if (ok) ok = ReplaceFileContents(folder_ + "/" + name, bytes, error);
    if (!ok && folderMade_) {
        // The folder may have gone while the service ran: made again, once.
        std::string again;
        if (MakeStateFolder(folder_, again)) ok = ReplaceFileContents(folder_ + "/" + name, bytes, error);
    }
    if (ok) {
        if (failed_ && note_) note_("state folder " + folder_ + " can be written again");
        failed_ = false;
        return;
    }
    if (!failed_ && note_) {
        note_("cannot keep state in " + folder_ + " (" + error +
              "); the service runs on and keeps nothing new until it can");
    }
    failed_ = true;
}

std::optional<GateSnapshot> StateStore::Load() {
    const auto bytes = Read("budget.state");
    if (!bytes) return std::nullopt;
    return ReadGateSnapshot(*bytes);
}

void StateStore::Save(const GateSnapshot& s) { Write("budget.state", WriteGateSnapshot(s)); }

std::optional<KeptForecast> StateStore::LoadForecast(int64_t placeId) {
    const auto bytes = Read(PlaceFile(placeId));
    if (!bytes) return std::nullopt;
    auto kept = ReadKeptForecast(*bytes);
    if (!kept || kept->place.id != placeId) return std::nullopt;  // another place in the slot
    return kept;
}

void StateStore::SaveForecast(const KeptForecast& k) { Write(PlaceFile(k.place.id), WriteKeptForecast(k)); }
