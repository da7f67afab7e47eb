#pragma once
// How long the service lives: one copy per machine, and, when started by a
// card, no longer than that card.
#include <cstdint>
#include <functional>

// Takes the machine-wide "one cloudwick-feed" mutex for the life of the
// process; false when another copy holds it.
bool ClaimSingleInstance();

// Calls `onEnd` on a thread of its own once process `pid` has ended,
// however it ended (exit, crash, killed). False when that process is not
// running now, or is younger than this one (its id was reused).
bool WatchProcess(uint32_t pid, std::function<void()> onEnd);
