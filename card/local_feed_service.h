#pragma once
// The feed service that ships beside the card (cloudwick-feed.exe): a card
// built for this machine's own host keeps it running (card/service_supervisor.h).
#include <string>

extern const char* const kLocalServiceExe;  // "cloudwick-feed.exe"

// True when either host the card talks to is this machine.
bool UsesLocalService(const std::string& feedHost, const std::string& placeSearchHost);

// The command line that starts the service for the card with process id `cardPid`.
std::string LocalServiceCommandLine(const std::string& exePath, unsigned long cardPid);
