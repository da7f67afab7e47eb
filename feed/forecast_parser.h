#pragma once
// Turns the text of one weather feed reply into the card's captions.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class CardField { Title, DateTime, WTemp, WSpeed, Cond, Temp, Day1, Day2 };

struct ForecastResult {
    // Captions in the order the card applies them. On failure this holds the
    // captions found before the fault, then Day1 with the reason.
    std::vector<std::pair<CardField, std::string>> captions;
    bool ok = false;
    std::string error;          // plain words, empty when ok
    std::string conditionCode;  // as cut (spaces kept), "48" above 47
    int picture = 49;           // 1..49 in the condition picture list
    bool day1Tall = false;      // first forecast line longer than 39 characters
};

// `useCelsius` picks the unit suffixes: exactly 1 is metric.
ForecastResult ParseForecast(const std::string& reply, int16_t useCelsius);

// Unit suffixes as the card shows them (ANSI: 0xB0 is the degree sign).
const char* TemperatureSuffix(int16_t useCelsius);
const char* SpeedSuffix(int16_t useCelsius);
