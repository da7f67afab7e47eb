#include "documents/feed_document.h"

#include <cmath>
#include <cstdio>

#include "model/feed_dates.h"
#include "documents/card_text.h"
#include "model/region_codes.h"
#include "documents/wmo_codes.h"
#include "documents/zone_rules.h"

const char kTitleLeadIn[] = "Cloudwick Feed - ";
static_assert(sizeof kTitleLeadIn - 1 == 17, "the card skips exactly 17 characters of title lead-in");

namespace {

const char kRssOpen[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
    "<rss version=\"2.0\" xmlns:yweather=\"http://xml.weather.yahoo.com/ns/rss/1.0\" "
    "xmlns:geo=\"http://www.w3.org/2003/01/geo/wgs84_pos#\">\n"
    "<channel>\n\n";
const char kSourceLink[] = "https://open-meteo.com/";
const char kTrailer[] = "</channel>\n</rss>\n<!-- cloudwick-feed -->\n";

std::string Attr(const std::string& v) { return "\"" + v + "\""; }

const char kNotAvailable[] = "N/A";

std::string Temperature(const std::optional<double>& v) { return v ? WholeNumber(*v) : kNotAvailable; }

std::string Speed(double v, Units u) { return u == Units::Metric ? Decimal(v, 2) : WholeNumber(v); }

std::string Visibility(const std::optional<double>& metres, Units u) {
    if (!metres) return "";
    return Decimal(u == Units::Metric ? *metres / 1000.0 : *metres / 1609.344, 2);
}

std::string Pressure(const std::optional<double>& hpa, Units u) {
    if (!hpa) return "";
    return Decimal(u == Units::Metric ? *hpa : *hpa * 0.0295299830714, 2);
}

// The place's zone abbreviation at the time of the current conditions,
// from its IANA zone (the place's own, else the one the forecast names).
std::string DocumentZone(const Place& place, const Weather& w, const LocalDateTime& now) {
    const std::string& iana = place.timezone.empty() ? w.zoneName : place.timezone;
    const std::string text = ZoneText(iana, UnixFromLocal(now) - w.utcOffsetSeconds, w.utcOffsetSeconds);
    return text.size() <= kMaxZoneLength ? text : "";
}

std::string ClockOf(const std::string& iso) {
    const auto t = ReadIsoLocal(iso);
    return t && iso.size() == 16 ? FeedClock(*t) : "";
}

struct DayLine {
    std::string weekday, date, low, high;
    Condition condition;
};

DayLine DayOf(const DailyWeather& d) {
    DayLine line;
    if (const auto t = ReadIsoLocal(d.date)) {
        line.weekday = WeekdayName(*t);
        line.date = FeedDate(*t);
    }
    line.low = Temperature(d.low);
    line.high = Temperature(d.high);
    // A day's outlook is a daytime one, but for a day the sun does not rise on.
    line.condition = ConditionFromWmo(d.wmoCode, !d.polarNight);
    return line;
}

}  // namespace

std::string WholeNumber(double v) {
    long r = std::lround(v);
    return std::to_string(r == 0 ? 0 : r);  // never "-0"
}

std::string Decimal(double v, int places) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", places, v);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

std::string PlaceTitle(const Place& place) {
    std::string name = CardText(place.name, kMaxNameLength);
    if (name.empty()) name = "Place " + std::to_string(place.id);
    const std::string rc = RegionCode(place.countryCode, place.admin1);
    return rc.empty() ? name : name + ", " + rc;
}

std::string WeatherDocument(const Place& place, const Weather& w, Units units) {
    const bool metric = units == Units::Metric;
    const std::string title = PlaceTitle(place);
    std::string city = CardText(place.name, kMaxNameLength);
    if (city.empty()) city = "Place " + std::to_string(place.id);
    const std::string region = place.countryCode == "US" ? RegionCode(place.countryCode, place.admin1)
                                                          : CardText(place.admin1, kMaxRegionLength);
    const std::string country = CardText(place.country, kMaxCountryLength);
    const auto now = ReadIsoLocal(w.current.localTime).value_or(LocalDateTime{});
    const std::string zone = DocumentZone(place, w, now);
    const std::string stamp = FeedDateTime(now, zone);
    const std::string clock = FeedClock(now) + (zone.empty() ? "" : " " + zone);
    const CurrentWeather& c = w.current;
    const Condition cond = ConditionFromWmo(c.wmoCode, c.isDay);
    const std::string temp = WholeNumber(c.temperature);

    std::string doc = kRssOpen;
    doc += "<title>" + std::string(kTitleLeadIn) + title + "</title>\n";
    doc += "<link>" + std::string(kSourceLink) + "</link>\n";
    doc += "<description>Cloudwick Feed for " + title + "</description>\n";
    doc += "<language>en-us</language>\n";
    doc += "<lastBuildDate>" + stamp + "</lastBuildDate>\n";
    doc += "<ttl>60</ttl>\n";
    doc += "<yweather:location city=" + Attr(city) + " region=" + Attr(region) + "   country=" + Attr(country) +
           "/>\n";
    doc += metric ? "<yweather:units temperature=\"C\" distance=\"km\" pressure=\"mb\" speed=\"km/h\"/>\n"
                  : "<yweather:units temperature=\"F\" distance=\"mi\" pressure=\"in\" speed=\"mph\"/>\n";
    // A value the source left out (null) is never written as a real one:
    // what the card shows reads "N/A", what it never reads stays empty.
    doc += "<yweather:wind chill=" + Attr(Temperature(c.feelsLike)) +
           "   direction=" + Attr(c.windDirection ? WholeNumber(*c.windDirection) : "") +
           "   speed=" + Attr(c.windSpeed ? Speed(*c.windSpeed, units) : kNotAvailable) + " />\n";
    // Whether the pressure is rising is not known: the attribute stays empty.
    doc += "<yweather:atmosphere humidity=" + Attr(c.humidity ? WholeNumber(*c.humidity) : "") +
           "  visibility=" + Attr(Visibility(c.visibilityMetres, units)) +
           "  pressure=" + Attr(Pressure(c.pressureHpa, units)) + "  rising=\"\" />\n";
    const DailyWeather today = w.days.empty() ? DailyWeather{} : w.days.front();
    doc += "<yweather:astronomy sunrise=" + Attr(ClockOf(today.sunrise)) + "   sunset=" + Attr(ClockOf(today.sunset)) +
           "/>\n\n";
    doc += "<image>\n<title>Cloudwick Feed</title>\n<width>16</width>\n<height>16</height>\n<link>" +
           std::string(kSourceLink) + "</link>\n<url>https://open-meteo.com/favicon.ico</url>\n</image>\n";
    doc += "<item>\n";
    doc += "<title>Conditions for " + title + " at " + clock + "</title>\n";
    doc += "<geo:lat>" + Decimal(place.latitude, 2) + "</geo:lat>\n";
    doc += "<geo:long>" + Decimal(place.longitude, 2) + "</geo:long>\n";
    doc += "<link>" + std::string(kSourceLink) + "</link>\n";
    doc += "<pubDate>" + stamp + "</pubDate>\n";
    doc += "<yweather:condition  text=" + Attr(cond.text) + "  code=" + Attr(std::to_string(cond.code)) +
           "  temp=" + Attr(temp) + "  date=" + Attr(stamp) + " />\n";

    std::vector<DayLine> days;
    for (std::size_t i = 0; i < w.days.size() && i < 5; ++i) days.push_back(DayOf(w.days[i]));
    for (const DayLine& d : days) {
        doc += "<yweather:forecast day=" + Attr(d.weekday) + " date=" + Attr(d.date) + " low=" + Attr(d.low) +
               " high=" + Attr(d.high) + " text=" + Attr(d.condition.text) +
               " code=" + Attr(std::to_string(d.condition.code)) + " />\n";
    }

    const char* unit = metric ? " C" : " F";
    doc += "<description><![CDATA[\n<b>Current Conditions:</b><br />\n" + cond.text + ", " + temp + unit + "<BR />\n";
    // Only what is known is said.
    std::string line;
    if (c.feelsLike) line = "Feels like " + WholeNumber(*c.feelsLike) + unit;
    if (c.windSpeed) {
        line += (line.empty() ? "Wind " : ", wind ") + Speed(*c.windSpeed, units) + (metric ? " km/h" : " mph");
        if (c.windDirection) line += " from " + WholeNumber(*c.windDirection) + " degrees";
    }
    if (!line.empty()) doc += line + "<BR />\n";
    if (c.humidity) doc += "Humidity " + WholeNumber(*c.humidity) + " percent<BR />\n";
    // Either may be missing (the first or last sunrise of a polar night or day).
    const std::string sunrise = ClockOf(today.sunrise), sunset = ClockOf(today.sunset);
    if (!sunrise.empty() && !sunset.empty())
        doc += "Sunrise " + sunrise + ", sunset " + sunset + "<BR />\n";
    else if (!sunrise.empty())
        doc += "Sunrise " + sunrise + ", no sunset<BR />\n";
    else if (!sunset.empty())
        doc += "No sunrise, sunset " + sunset + "<BR />\n";
    doc += "<BR /><b>Forecast:</b><BR />\n";
    for (const DayLine& d : days) {
        doc += d.weekday + " - " + d.condition.text + ". High: " + d.high + " Low: " + d.low + "<br />\n";
    }
    doc += "<br />\n<a href=\"" + std::string(kSourceLink) +
           "\">Weather data by Open-Meteo.com</a> (CC BY 4.0)<br/>\n]]></description>\n";
    doc += "<guid isPermaLink=\"false\">cloudwick-" + std::to_string(place.id) + "-" + IsoLocal(now) + "</guid>\n";
    doc += "</item>\n";
    doc += kTrailer;
    return doc;
}

std::optional<std::string> DocumentServedAt(const std::string& doc, int64_t storedUnix, int64_t nowUnix) {
    // The build time, local to the place, is the guid's last part.
    const std::size_t guidEnd = doc.find("</guid>");
    if (guidEnd == std::string::npos || guidEnd < 16) return std::nullopt;
    const auto built = ReadIsoLocal(doc.substr(guidEnd - 16, 16));
    if (!built) return std::nullopt;
    // The build time is the source's quarter hour at or before the fetch:
    // the place's offset is that difference rounded up to a quarter hour
    // (every zone's offset is a whole number of them).
    const int64_t ahead = UnixFromLocal(*built) - storedUnix;
    const int64_t offset = ahead >= 0 ? (ahead + 899) / 900 * 900 : -((-ahead) / 900 * 900);
    const int64_t builtDay = UnixFromLocal(*built) / 86400 - (UnixFromLocal(*built) % 86400 < 0);
    const int64_t local = nowUnix + offset;
    const int64_t today = local / 86400 - (local % 86400 < 0);
    if (today == builtDay) return doc;
    const std::string wanted = FeedDate(FromUnix(today * 86400, 0));
    // The forecast elements, and the description's lines in the same order.
    const std::string element = "<yweather:forecast day=";
    std::vector<std::size_t> lines;
    for (std::size_t p = doc.find(element); p != std::string::npos; p = doc.find(element, p + 1)) lines.push_back(p);
    std::size_t from = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t eol = doc.find('\n', lines[i]);
        if (doc.substr(lines[i], eol - lines[i]).find(" date=\"" + wanted + "\"") != std::string::npos) {
            from = i;
            break;
        }
    }
    if (today < builtDay || from == lines.size() || lines.size() - from < 2) return std::nullopt;
    const std::size_t forecastStart = doc.find("<BR /><b>Forecast:</b><BR />\n");
    if (forecastStart == std::string::npos) return std::nullopt;
    std::string out = doc.substr(0, lines[0]) + doc.substr(lines[from], forecastStart - lines[from]);
    std::size_t p = forecastStart + std::string("<BR /><b>Forecast:</b><BR />\n").size();
    out += doc.substr(forecastStart, p - forecastStart);
    for (std::size_t i = 0; i < from; ++i) {
        const std::size_t eol = doc.find("<br />\n", p);
        if (eol == std::string::npos) return std::nullopt;
        p = eol + 7;
    }
    out += doc.substr(p);
    return out;
}

std::string NotFoundDocument() {
    std::string doc = kRssOpen;
    doc += "<title>" + std::string(kTitleLeadIn) + "Error</title>\n\n";
    doc += "<description>Cloudwick Feed Error</description>\n\n";
    doc += "<item>\n<title>City not found</title>\n";
    doc += "<description>This place id is not known to the feed. Pick the place again in the options.</description>\n";
    doc += "</item>\n";
    doc += kTrailer;
    return doc;
}
