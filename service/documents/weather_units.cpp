#include "documents/weather_units.h"

double Fahrenheit(double celsius) { return celsius * 9.0 / 5.0 + 32.0; }

double MilesPerHour(double kmPerHour) { return kmPerHour / 1.609344; }

namespace {

std::optional<double> Map(const std::optional<double>& v, double (*f)(double)) {
    return v ? std::optional<double>(f(*v)) : std::nullopt;
}

}  // namespace

Weather InUnits(const Weather& metric, Units units) {
    if (units == Units::Metric) return metric;
    Weather w = metric;
    w.current.temperature = Fahrenheit(metric.current.temperature);
    w.current.feelsLike = Map(metric.current.feelsLike, Fahrenheit);
    w.current.windSpeed = Map(metric.current.windSpeed, MilesPerHour);
    for (DailyWeather& d : w.days) {
        d.high = Map(d.high, Fahrenheit);
        d.low = Map(d.low, Fahrenheit);
    }
    return w;
}
