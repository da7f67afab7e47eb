#pragma once
// How long the service lives: one copy per machine; when started by a card,
// until shortly after the last card that uses it has ended. A service
// started by hand runs on.
//
// Named objects the cards use (card/local_feed_service_win.cpp names the
// same): the mutex "Global\CloudwickFeedService" (held while the service
// runs), the manual-reset event "Global\CloudwickFeedReady" (set once it
// listens) and the pipe "\\.\pipe\CloudwickFeedCards" (each card keeps one
// connection open while it runs).
#include <cstdint>
#include <functional>

// Takes the machine-wide "one cloudwick-feed" mutex for the life of the
// process; false when another copy holds it. Also clears the ready signal a
// copy that ended without cleaning up may have left set.
bool ClaimSingleInstance();

// Calls `onEnd` on a thread of its own once process `pid` has ended,
// however it ended (exit, crash, killed). False when that process is not
// running now, or is younger than this one (its id was reused).
bool WatchProcess(uint32_t pid, std::function<void()> onEnd);

// The card that started the service (--parent-pid) has ended.
void ParentCardEnded();

// The service listens: sets the ready signal and takes card registrations.
// With `startedByCard`, `onLastCardGone` runs (on another thread) about two
// seconds after neither the starting card nor any registered card is left.
void AnnounceListening(bool startedByCard, std::function<void()> onLastCardGone);
