#include "stub_upstream.h"

#include <httplib.h>

#include <stdexcept>

#include "sample_json.h"

StubUpstream::StubUpstream() : server_(std::make_unique<httplib::Server>()) {
    httplib::Server& s = *server_;
    s.Get("/v1/forecast", [this](const httplib::Request& req, httplib::Response& res) {
        ++forecastCalls_;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            forecastQueries_.push_back(req.target.substr(req.target.find('?') + 1));
        }
        if (Misbehave(forecast_, &res)) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!forecastBody_.empty()) return res.set_content(forecastBody_, "application/json");
        }
        const bool f = req.get_param_value("temperature_unit") == "fahrenheit";
        const bool mph = req.get_param_value("wind_speed_unit") == "mph";
        res.set_content(ForecastJson(f ? "\xC2\xB0" "F" : "\xC2\xB0" "C", f ? 29.3 : -1.5, f ? 23.1 : -4.9,
                                     mph ? 10.2 : 16.42, 2, 0),
                         "application/json");
    });
    s.Get("/v1/search", [this](const httplib::Request& req, httplib::Response& res) {
        ++searchCalls_;
        const std::string name = req.get_param_value("name");
        {
            std::lock_guard<std::mutex> lock(mutex_);
            searchNames_.push_back(name);
            searchTargets_.push_back(req.target);
        }
        if (Misbehave(geocoding_, &res)) return;
        if (name.rfind("Spring", 0) == 0) {
            res.set_content("{\"results\":[" + SpringfieldJson(4250542, "Illinois", 39.80172, -89.64371) + "," +
                                SpringfieldJson(4409896, "Missouri", 37.21533, -93.29824) +
                                "],\"generationtime_ms\":0.9}",
                            "application/json");
        } else {
            res.set_content("{\"generationtime_ms\":0.3}", "application/json");
        }
    });
    s.Get("/v1/get", [this](const httplib::Request& req, httplib::Response& res) {
        ++lookupCalls_;
        if (Misbehave(geocoding_, &res)) return;
        if (req.get_param_value("id") == "4250542") {
            res.set_content(SpringfieldJson(4250542, "Illinois", 39.80172, -89.64371), "application/json");
        } else {
            res.status = 400;
            res.set_content("{\"error\":true,\"reason\":\"Location ID not found.\"}", "application/json");
        }
    });
    port_ = s.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("stub upstream cannot bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

StubUpstream::~StubUpstream() {
    server_->stop();
    thread_.join();
}

bool StubUpstream::Misbehave(Behaviour& b, void* response) {
    auto& res = *static_cast<httplib::Response*>(response);
    if (b.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(b.delayMs.load()));
    switch (b.mode.load()) {
        case Mode::Normal: return false;
        case Mode::TooManyRequests:
            res.status = 429;
            res.set_content("{\"error\":true,\"reason\":\"Minutely API request limit exceeded.\"}", "application/json");
            return true;
        case Mode::ServerError:
            res.status = 500;
            res.set_content("<html>Internal Server Error</html>", "text/html");
            return true;
        case Mode::Garbage:
            res.set_content("{\"current\":", "application/json");
            return true;
    }
    return false;
}

std::string StubUpstream::ForecastUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/v1/forecast"; }
std::string StubUpstream::GeocodingUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/v1"; }

void StubUpstream::SetForecastBody(std::string body) {
    std::lock_guard<std::mutex> lock(mutex_);
    forecastBody_ = std::move(body);
}

void StubUpstream::SetForecastMode(Mode m, std::chrono::milliseconds delay) {
    forecast_.mode = m;
    forecast_.delayMs = static_cast<int>(delay.count());
}

void StubUpstream::SetGeocodingMode(Mode m, std::chrono::milliseconds delay) {
    geocoding_.mode = m;
    geocoding_.delayMs = static_cast<int>(delay.count());
}

std::vector<std::string> StubUpstream::ForecastQueries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return forecastQueries_;
}

std::vector<std::string> StubUpstream::SearchNames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return searchNames_;
}

std::vector<std::string> StubUpstream::SearchTargets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return searchTargets_;
}
