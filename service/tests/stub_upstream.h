#pragma once
// A stand-in for Open-Meteo on a loopback port: Open-Meteo-shaped JSON,
// or on demand slow replies, 429s and 500s. It counts what it is asked.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

class StubUpstream {
public:
    enum class Mode { Normal, TooManyRequests, ServerError, Garbage };

    StubUpstream();
    ~StubUpstream();

    std::string ForecastUrl() const;   // for --forecast-url
    std::string GeocodingUrl() const;  // for --geocoding-url

    // How the forecast endpoint, and separately the geocoding endpoints, answer.
    void SetForecastMode(Mode m, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    void SetGeocodingMode(Mode m, std::chrono::milliseconds delay = std::chrono::milliseconds(0));

    // A forecast reply of the test's own ("" for the usual one).
    void SetForecastBody(std::string body);
    int forecastCalls() const { return forecastCalls_; }
    int searchCalls() const { return searchCalls_; }
    int lookupCalls() const { return lookupCalls_; }
    // Query strings received, raw and decoded parameter values, in order.
    std::vector<std::string> ForecastQueries() const;
    std::vector<std::string> SearchNames() const;    // decoded "name" values
    std::vector<std::string> SearchTargets() const;  // raw request targets

private:
    struct Behaviour {
        std::atomic<Mode> mode{Mode::Normal};
        std::atomic<int> delayMs{0};
    };
    bool Misbehave(Behaviour& b, void* response);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = -1;
    Behaviour forecast_, geocoding_;
    std::atomic<int> forecastCalls_{0}, searchCalls_{0}, lookupCalls_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> forecastQueries_, searchNames_, searchTargets_;
    std::string forecastBody_;
};
