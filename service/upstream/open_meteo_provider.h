#pragma once
// The live source: Open-Meteo's forecast and geocoding APIs.
#include <chrono>
#include <string>

#include "upstream/provider.h"
#include "upstream/upstream_client.h"
#include "upstream/upstream_gate.h"

struct OpenMeteoConfig {
    std::string forecastUrl = "https://api.open-meteo.com/v1/forecast";
    std::string geocodingUrl = "https://geocoding-api.open-meteo.com/v1";  // + "/search", "/get"
    std::chrono::milliseconds timeout{5000};
    GateRules gate;           // concurrency, budget and pauses of calls to the source
    CallBudget::Clock clock;  // seconds for the budget and pauses; empty: the system clock
    GateMemory* memory = nullptr;  // keeps the budget and pause across restarts; may be null
};

class OpenMeteoProvider : public Provider {
public:
    // `client` makes the upstream calls; it must outlive the provider.
    OpenMeteoProvider(OpenMeteoConfig config, UpstreamClient& client);
    const char* Name() const override { return "open-meteo"; }
    Fetched<std::optional<Place>> LookupPlace(int64_t id, const CallFor& who) override;
    Fetched<std::vector<Place>> SearchPlaces(const std::string& text, std::size_t count, const CallFor& who) override;
    Fetched<Weather> FetchWeather(const Place& place, const CallFor& who) override;

    // Calls in flight, waiting, the pause and the budget used, for /health.
    std::optional<UpstreamGate::State> GateState() const override { return gate_.Now(); }

private:
    // One upstream GET, if the gate lets it through (upstream_gate.h).
    UpstreamReply Call(const std::string& url, const CallFor& who, int weight = kOneCall);

    OpenMeteoConfig config_;
    UpstreamClient& client_;
    UpstreamGate gate_;
};

// The forecast's variables: what the documents show, ten at most so that a
// call weighs one call. Sunrise, sunset and day or night are worked out
// from the place's position instead (sun.h); visibility is left out.
constexpr int kForecastVariables = 10;
constexpr int kForecastDays = 5;

// `base` with `path` added and `params` as its query; a query already in
// `base` (an API key: "...?apikey=KEY") is kept after them.
std::string UrlWith(const std::string& base, const std::string& path, const std::string& params);

// The request URLs, exposed so tests can see exactly what goes upstream.
std::string ForecastRequestUrl(const std::string& base, const Place& place);
std::string SearchRequestUrl(const std::string& base, const std::string& text, std::size_t count);
std::string LookupRequestUrl(const std::string& base, int64_t id);
