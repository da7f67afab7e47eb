#pragma once
// One forecast from the source serves both of the card's unit systems: the
// providers deliver metric values (°C, km/h) and the imperial document is
// converted from them.
#include "model/weather_model.h"

double Fahrenheit(double celsius);        // °C × 9/5 + 32
double MilesPerHour(double kmPerHour);    // km/h ÷ 1.609344

// `metric` in `units`: unchanged for Metric; temperatures in °F and wind
// speed in mph for Imperial. Missing values stay missing. Pressure and
// visibility stay in hPa and metres (the document converts those itself).
Weather InUnits(const Weather& metric, Units units);
