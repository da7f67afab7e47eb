// Fuzzes the feed reply parser and the tray tip built from its result.
// Besides crashes and out-of-bounds reads it checks the result's shape.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "card/tray_tip.h"
#include "feed/forecast_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    for (int16_t units : {0, 1}) {
        const ForecastResult r = ParseForecast(reply, units);
        if (r.picture < 1 || r.picture > 49) __builtin_trap();
        if (r.ok == !r.error.empty()) __builtin_trap();
        if (r.ok) {
            // Every caption, in the card's order.
            if (r.captions.size() != 8) __builtin_trap();
            for (size_t i = 0; i < r.captions.size(); ++i)
                if (static_cast<size_t>(r.captions[i].first) != i) __builtin_trap();
            if (r.conditionCode.empty()) __builtin_trap();
        } else {
            if (r.picture != 49) __builtin_trap();
            if (r.captions.empty() || r.captions.back().first != CardField::Day1) __builtin_trap();
        }
        std::string title, temp;
        for (const auto& c : r.captions) {
            if (c.first == CardField::Title) title = c.second;
            if (c.first == CardField::Temp) temp = c.second;
        }
        const std::string tip = TrayTipText(title, temp, "1.23");
        const auto field = TipField(tip);
        if (std::memchr(field.data(), '\0', field.size()) == nullptr) __builtin_trap();
    }
    return 0;
}
