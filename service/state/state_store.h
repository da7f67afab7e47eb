#pragma once
// What the service keeps in its state folder between runs, so that a
// restart neither forgets how many calls the day has used (a crash loop
// cannot overrun the source's daily limit) nor leaves a card blank while
// the source cannot be reached:
//
// - "budget.state": the call budget's windows and the source's pause;
// - "place-N.state": for each place a card asked the weather of, the place
//   (so its next start needs no lookup) and the last good documents, with
//   the time they were fetched.
//
// Every file is written whole to a temporary file and then put in place,
// so a crash leaves the old file or the new one. A damaged file, one cut
// short or from another version is ignored. The folder stays bounded: a
// place's file goes in one of kPlaceSlots slots (a newer place takes the
// slot of an older one that shares it), each file at most kMaxStateFile
// bytes. A folder deleted while the service runs is made again at the next
// write. When the folder cannot be written (read-only, full), the service
// says so once through `note` and goes on without keeping anything new.
// An empty folder name keeps nothing.
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "state/state_file.h"
#include "upstream/upstream_gate.h"

constexpr int kPlaceSlots = 1024;

class StateStore : public GateMemory {
public:
    using Note = std::function<void(const std::string&)>;
    StateStore(std::string folder, Note note);

    bool Keeps() const { return !folder_.empty(); }
    const std::string& Folder() const { return folder_; }

    std::optional<GateSnapshot> Load() override;
    void Save(const GateSnapshot& s) override;

    std::optional<KeptForecast> LoadForecast(int64_t placeId);
    void SaveForecast(const KeptForecast& k);

    // The file name of a place's slot ("place-417.state").
    static std::string PlaceFile(int64_t placeId);

private:
    std::optional<std::string> Read(const std::string& name) const;
    void Write(const std::string& name, const std::string& bytes);

    const std::string folder_;
    const Note note_;
    std::mutex mutex_;
    bool folderMade_ = false;
    bool failed_ = false;  // a write failed and was told
};

// The folder the service keeps its state in: on Windows,
// "cloudwick-feed-state" beside the program (`programFolder`).
std::string StateFolderBeside(const std::string& programFolder);

// Supplied by the platform layer (core/state_files_posix.cpp,
// windows/state_files_win.cpp): makes `folder` if it is missing; writes
// `bytes` to `path` through a temporary file beside it that then replaces
// `path` in one step. False with the reason in `error` when that fails.
// ReadFileContents reads a file (stopping once it has more than `limit`
// bytes); false when it cannot be opened.
bool ReadFileContents(const std::string& path, std::size_t limit, std::string& out);
bool MakeStateFolder(const std::string& folder, std::string& error);
bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error);
