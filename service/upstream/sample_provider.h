#pragma once
// Built-in places and fixed weather, for running the card without internet.
#include <cstdint>
#include <functional>

#include "upstream/provider.h"

class SampleProvider : public Provider {
public:
    // `nowUnix` gives the time the documents are dated with.
    explicit SampleProvider(std::function<int64_t()> nowUnix);
    const char* Name() const override { return "sample"; }
    Fetched<std::optional<Place>> LookupPlace(int64_t id, const CallFor& who) override;
    Fetched<std::vector<Place>> SearchPlaces(const std::string& text, std::size_t count, const CallFor& who) override;
    Fetched<Weather> FetchWeather(const Place& place, const CallFor& who) override;

private:
    std::function<int64_t()> nowUnix_;
};

// The built-in places, in search order.
const std::vector<Place>& SamplePlaces();
