#pragma once
// The data source and clock the options ask for, the same on every platform.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "config/command_line.h"
#include "feed/feed_service.h"
#include "upstream/provider.h"
#include "state/state_store.h"
#include "upstream/upstream_client.h"

// Now in seconds since the epoch, or the --fixed-time.
std::function<int64_t()> ServiceClock(const CommandLine& options);

// The sample places, or Open-Meteo through `client` (which must outlive
// it), with Nominatim behind its place search unless --nominatim-url off.
// `memory` (may be null; must outlive it) keeps the call budget and pause
// across restarts.
std::unique_ptr<Provider> MakeProvider(const CommandLine& options, std::function<int64_t()> nowUnix,
                                       UpstreamClient& client, GateMemory* memory = nullptr);

// The state folder: --state-dir, else (on Windows, given the program's
// folder) "cloudwick-feed-state" beside the program, else none.
std::string StateFolderFor(const CommandLine& options, const std::string& programFolder = "");

// The User-Agent of the upstream calls: the service, and --contact if given.
std::string UserAgentFor(const CommandLine& options);

// One line for the start-up log on where place searches go.
std::string FallbackNote(const CommandLine& options);

// The caches' and clients' rules the options ask for.
ServiceRules ServiceRulesFor(const CommandLine& options);
