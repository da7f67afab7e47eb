#pragma once
// How long the service lives: one copy per session, user and folder; when
// started by a card, until shortly after the last card that uses it has
// ended. A service started by hand runs on.
//
// Named objects the cards use (card/local_feed_service_win.cpp names the
// same), KEY being a hash of the program's folder and SESSION the session
// id, each granting this user and SYSTEM alone: the mutex
// "Local\CloudwickFeed-KEY" (held while the service runs), the manual-reset
// event "Local\CloudwickFeedReady-KEY" (set once it listens), the mapping
// "Local\CloudwickFeedPort-KEY" (PublishedService: the port it listens on
// and its process id) and the pipe "\\.\pipe\CloudwickFeedCards-SESSION-KEY"
// (each card keeps one connection open while it runs).
#include <cstdint>
#include <functional>
#include <string>

struct PublishedService {
    static constexpr uint32_t kMagic = 0x464B5743;  // "CWKF"
    uint32_t magic;
    uint32_t port;
    uint32_t pid;
};

// Takes the "one cloudwick-feed" mutex of this session and `folder` for
// the life of the process; false when another copy holds it. Also clears
// the ready signal a copy that ended without cleaning up may have left set.
bool ClaimSingleInstance(const std::wstring& folder);

// Tells this user's cards the port the service listens on; false when the
// record cannot be made.
bool PublishPort(int port);

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
