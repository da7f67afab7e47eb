#pragma once
// Stand-ins for Open-Meteo's geocoding and forecast and for Nominatim on a
// loopback port, answering the searches users type ("Paris TX", "60610",
// "SW1A 1AA", "Eiffel Tower", "JFK") as the real services would, from a
// small table. They count what they are asked and note when and with
// which User-Agent Nominatim was asked.
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

class StubGeocoders {
public:
    StubGeocoders();
    ~StubGeocoders();

    std::string ForecastUrl() const;   // Open-Meteo: --forecast-url
    std::string GeocodingUrl() const;  // --geocoding-url
    std::string NominatimUrl() const;  // --nominatim-url

    struct Call {
        std::string target;  // path and query as sent
        std::string userAgent;
        std::chrono::steady_clock::time_point at;
    };
    std::vector<Call> OpenMeteoSearches() const;
    std::vector<Call> NominatimCalls() const;

private:
    void Note(std::vector<Call>& calls, const std::string& target, const std::string& userAgent);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::vector<Call> openMeteo_, nominatim_;
};
