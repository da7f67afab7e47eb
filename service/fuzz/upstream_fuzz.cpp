// Any reply the upstream could give, read and written into the card's
// documents: no crash, and the parts the card reads stay inside its
// windows (2000 bytes for the weather, 1000 for a place search, with room
// for the reply headers).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "documents/feed_document.h"
#include "upstream/open_meteo_json.h"
#include "documents/place_document.h"
#include "documents/sun.h"
#include "model/feed_dates.h"

namespace {

// The service's longest reply headers before a place document: status line,
// Cache-Control, Content-Length, Content-Type, Date, Keep-Alive, X-Cache and
// the empty line come to 203 bytes at most.
constexpr std::size_t kHeaderRoom = 215;

void Check(bool ok) {
    if (!ok) std::abort();
}

Place LongPlace() {
    Place p;
    p.id = 9999999999;
    p.name = std::string(100, 'N');
    p.countryCode = "US";
    p.country = std::string(100, 'C');
    p.admin1 = std::string(100, 'A');
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    Fetched<Weather> w = ReadForecastJson(text);
    if (w.ok) {
        // What the reader lets through is what the documents rely on: a
        // current time, consecutive days from its date on, values within
        // the physical records, whole WMO codes.
        const auto now = ReadIsoLocal(w.value.current.localTime);
        Check(now && w.value.days.size() >= 2);
        Check(w.value.current.temperature >= -95 && w.value.current.temperature <= 60);
        Check(!w.value.current.windSpeed || (*w.value.current.windSpeed >= 0 && *w.value.current.windSpeed <= 420));
        Check(!w.value.current.wmoCode || (*w.value.current.wmoCode >= 0 && *w.value.current.wmoCode <= 99));
        const int64_t today = UnixFromLocal(LocalDateTime{now->year, now->month, now->day});
        for (std::size_t i = 0; i < w.value.days.size(); ++i) {
            const DailyWeather& d = w.value.days[i];
            const auto date = ReadIsoLocal(d.date);
            Check(date && UnixFromLocal(*date) == today + static_cast<int64_t>(i) * 86400);
            Check(!d.high || (*d.high >= -95 && *d.high <= 60));
            Check(!d.low || (*d.low >= -95 && *d.low <= 60));
            Check(!d.wmoCode || (*d.wmoCode >= 0 && *d.wmoCode <= 99));
        }
        // Sun times for a polar place and the place the reply names.
        AddSunTimes(w.value, 69.65, 18.96, w.value.zoneName);
        const int64_t made = UnixFromLocal(*now) - w.value.utcOffsetSeconds;
        for (Units u : {Units::Imperial, Units::Metric}) {
            const std::string doc = WeatherDocument(LongPlace(), w.value, u);
            // Served later, the document is the same one or keeps two days.
            for (int64_t later : {int64_t{0}, int64_t{3600}, int64_t{86400}, int64_t{3 * 86400}, int64_t{-86400}}) {
                const auto served = DocumentServedAt(doc, made + 60, made + 60 + later);
                if (later == 0 && w.value.utcOffsetSeconds % 900 == 0) Check(served && *served == doc);
                if (!served) continue;
                const std::size_t first = served->find("<yweather:forecast day=");
                Check(first != std::string::npos && served->find("<yweather:forecast day=", first + 1) != std::string::npos);
            }
            std::size_t p = doc.find("<yweather:forecast day=");
            Check(p != std::string::npos);
            p = doc.find("<yweather:forecast day=", p + 1);
            Check(p != std::string::npos);
            Check(doc.find("/>", p) + 2 + kHeaderRoom <= 2000);
            for (unsigned char c : doc) Check(c < 0x80);
        }
    }

    const Fetched<std::vector<Place>> found = ReadSearchJson(text);
    if (found.ok && !found.value.empty()) {
        const std::string doc = PlaceSearchDocument(found.value, 0);
        Check(doc.size() > 1000);
        Check(doc.find("</locality1>") + 12 + kHeaderRoom <= 1000);
        for (unsigned char c : doc) Check(c < 0x80);
    }
    ReadPlaceJson(text);
    ReadErrorReason(text);
    ReadReplyTime(text, 0);
    return 0;
}
