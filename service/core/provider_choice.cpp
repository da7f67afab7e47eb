#include "core/provider_choice.h"

#include <ctime>

#include "core/open_meteo_provider.h"
#include "core/sample_provider.h"

std::function<int64_t()> ServiceClock(const CommandLine& options) {
    if (options.fixedTimeUnix) {
        const int64_t fixed = *options.fixedTimeUnix;
        return [fixed] { return fixed; };
    }
    return [] { return static_cast<int64_t>(std::time(nullptr)); };
}

std::unique_ptr<Provider> MakeProvider(const CommandLine& options, std::function<int64_t()> nowUnix,
                                       UpstreamClient& client) {
    if (options.provider == "sample") return std::make_unique<SampleProvider>(std::move(nowUnix));
    OpenMeteoConfig cfg;
    cfg.forecastUrl = options.forecastUrl;
    cfg.geocodingUrl = options.geocodingUrl;
    cfg.timeout = std::chrono::milliseconds(options.upstreamTimeoutMs);
    cfg.gate.maxInFlight = options.upstreamConcurrency;
    cfg.gate.calls.perMinute = options.callsPerMinute;
    cfg.gate.calls.perHour = options.callsPerHour;
    cfg.gate.calls.perDay = options.callsPerDay;
    return std::make_unique<OpenMeteoProvider>(cfg, client);
}

ServiceRules ServiceRulesFor(const CommandLine& options) {
    ServiceRules rules;
    rules.clients.perMinute = options.clientCallsPerMinute;
    rules.clients.burst = 2 * options.clientCallsPerMinute;
    return rules;
}
