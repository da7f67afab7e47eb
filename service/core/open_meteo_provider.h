#pragma once
// The live source: Open-Meteo's forecast and geocoding APIs.
#include <chrono>
#include <string>

#include "core/call_budget.h"
#include "core/provider.h"
#include "core/upstream_client.h"

struct OpenMeteoConfig {
    std::string forecastUrl = "https://api.open-meteo.com/v1/forecast";
    std::string geocodingUrl = "https://geocoding-api.open-meteo.com/v1";  // + "/search", "/get"
    std::chrono::milliseconds timeout{5000};
    CallLimits limits;
    CallBudget::Clock clock;  // seconds for the call budget; empty: the system clock
};

class OpenMeteoProvider : public Provider {
public:
    // `client` makes the upstream calls; it must outlive the provider.
    OpenMeteoProvider(OpenMeteoConfig config, UpstreamClient& client);
    const char* Name() const override { return "open-meteo"; }
    Fetched<std::optional<Place>> LookupPlace(int64_t id) override;
    Fetched<std::vector<Place>> SearchPlaces(const std::string& text, std::size_t count) override;
    Fetched<Weather> FetchWeather(const Place& place, Units units) override;

private:
    // One upstream GET, if the call budget allows it.
    UpstreamReply Call(const std::string& url);

    OpenMeteoConfig config_;
    UpstreamClient& client_;
    CallBudget budget_;
};

// The request URLs, exposed so tests can see exactly what goes upstream.
std::string ForecastRequestUrl(const std::string& base, const Place& place, Units units);
std::string SearchRequestUrl(const std::string& base, const std::string& text, std::size_t count);
std::string LookupRequestUrl(const std::string& base, int64_t id);
