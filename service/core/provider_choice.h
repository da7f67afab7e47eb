#pragma once
// The data source and clock the options ask for, the same on every platform.
#include <cstdint>
#include <functional>
#include <memory>

#include "core/command_line.h"
#include "core/feed_service.h"
#include "core/provider.h"
#include "core/upstream_client.h"

// Now in seconds since the epoch, or the --fixed-time.
std::function<int64_t()> ServiceClock(const CommandLine& options);

// The sample places, or Open-Meteo through `client` (which must outlive it).
std::unique_ptr<Provider> MakeProvider(const CommandLine& options, std::function<int64_t()> nowUnix,
                                       UpstreamClient& client);

// The caches' and clients' rules the options ask for.
ServiceRules ServiceRulesFor(const CommandLine& options);
