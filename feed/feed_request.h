#pragma once
#include <cstdint>
#include <string>

// "/forecastrss?w=" + woeid as stored (+ "&u=c" when useCelsius is exactly 1).
std::string FeedPath(const std::string& woeid, int16_t useCelsius);
