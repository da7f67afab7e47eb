#include "config/provider_choice.h"

#include <ctime>

#include "upstream/open_meteo_provider.h"
#include "places/place_finder.h"
#include "upstream/sample_provider.h"

std::function<int64_t()> ServiceClock(const CommandLine& options) {
    if (options.fixedTimeUnix) {
        const int64_t fixed = *options.fixedTimeUnix;
        return [fixed] { return fixed; };
    }
    return [] { return static_cast<int64_t>(std::time(nullptr)); };
}

std::unique_ptr<Provider> MakeProvider(const CommandLine& options, std::function<int64_t()> nowUnix,
                                       UpstreamClient& client, GateMemory* memory) {
    if (options.provider == "sample") return std::make_unique<SampleProvider>(std::move(nowUnix));
    OpenMeteoConfig cfg;
    cfg.forecastUrl = options.forecastUrl;
    cfg.geocodingUrl = options.geocodingUrl;
    cfg.timeout = std::chrono::milliseconds(options.upstreamTimeoutMs);
    cfg.gate.maxInFlight = options.upstreamConcurrency;
    cfg.gate.calls.perMinute = options.callsPerMinute;
    cfg.gate.calls.perHour = options.callsPerHour;
    cfg.gate.calls.perDay = options.callsPerDay;
    cfg.memory = memory;
    auto openMeteo = std::make_unique<OpenMeteoProvider>(cfg, client);
    std::unique_ptr<NominatimClient> nominatim;
    if (!options.nominatimUrl.empty()) {
        NominatimConfig n;
        n.baseUrl = options.nominatimUrl;
        n.timeout = cfg.timeout;
        nominatim = std::make_unique<NominatimClient>(n, client);
    }
    return std::make_unique<PlaceFinder>(std::move(openMeteo), std::move(nominatim));
}

std::string StateFolderFor(const CommandLine& options, const std::string& programFolder) {
    if (!options.stateDir.empty()) return options.stateDir;
    return programFolder.empty() ? "" : StateFolderBeside(programFolder);
}

std::string UserAgentFor(const CommandLine& options) {
    return options.contact.empty() ? "cloudwick-feed/1.0" : "cloudwick-feed/1.0 (" + options.contact + ")";
}

std::string FallbackNote(const CommandLine& options) {
    if (options.nominatimUrl.empty()) return "place search: Open-Meteo only (--nominatim-url off)";
    std::string note = "place search: Open-Meteo, then Nominatim at " + options.nominatimUrl +
                       " (one request a second), User-Agent \"" + UserAgentFor(options) + "\"";
    if (options.contact.empty() && options.nominatimUrl.find("nominatim.openstreetmap.org") != std::string::npos)
        note += "; on a public host give --contact, as Nominatim's usage policy asks";
    return note;
}

ServiceRules ServiceRulesFor(const CommandLine& options) {
    ServiceRules rules;
    rules.clients.perMinute = options.clientCallsPerMinute;
    rules.clients.burst = 2 * options.clientCallsPerMinute;
    return rules;
}
