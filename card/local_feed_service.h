#pragma once
// The feed service that ships beside the card (cloudwick-feed.exe): a card
// built for this machine's own host keeps it running (card/service_supervisor.h).
#include <cstddef>
#include <cstdint>
#include <string>

extern const char* const kLocalServiceExe;  // "cloudwick-feed.exe"

// True when `host` is this machine ("localhost", "127.0.0.1").
bool IsThisMachine(const std::string& host);
// True when either host the card talks to is this machine.
bool UsesLocalService(const std::string& feedHost, const std::string& placeSearchHost);

// The key the service's published names carry for its folder: FNV-1a over
// the folder's UTF-16 units (upper-cased by the caller), eight hex digits
// and a zero in `out`. service/windows/lifetime_win.cpp computes the same.
void FolderKey(const uint16_t* units, std::size_t count, char out[9]);

// A folder Windows or an archiver unpacks one file of a zip into when it
// is run from inside the zip ("…\Temp1_name.zip", "…\7zO1A2B", "…\Rar$EXa…");
// `folder` is UTF-16, as Windows names it.
bool LooksInsideZip(const uint16_t* folder, std::size_t count);

// Why the card has no service, for its forecast line and the search.
struct NoService {
    enum Kind { None, Missing, InsideZip, Refused, Antivirus, Policy, SmartAppControl, Damaged, EndedAtOnce,
                NeverReady, NotStarted };
    Kind kind = None;
    unsigned long code = 0;  // the exit code or Windows error
};

// The reason for a CreateProcess error (ERROR_FILE_NOT_FOUND and the like
// for a file that is not there).
NoService StartRefusal(unsigned long windowsError, bool insideZip);
// The line the card shows; empty for None.
std::string NoServiceText(const NoService& why);
