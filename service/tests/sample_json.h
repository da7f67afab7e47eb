#pragma once
// Open-Meteo-shaped replies, in the key order the source uses.
#include <string>

inline std::string ForecastJson(const char* tempUnit, double temp, double feels, double wind, int code, int isDay) {
    const std::string u = tempUnit;
    return std::string("{\"latitude\":39.8,\"longitude\":-89.64,\"generationtime_ms\":0.05,"
                       "\"utc_offset_seconds\":-21600,\"timezone\":\"America/Chicago\","
                       "\"timezone_abbreviation\":\"CST\",\"elevation\":182.0,"
                       "\"current_units\":{\"time\":\"iso8601\",\"interval\":\"seconds\",\"temperature_2m\":\"") +
           u + "\",\"apparent_temperature\":\"" + u +
           "\",\"wind_speed_10m\":\"" + (u == "\xC2\xB0" "F" ? "mp/h" : "km/h") + "\",\"wind_direction_10m\":\"\xC2\xB0\",\"weather_code\":\"wmo code\","
           "\"is_day\":\"\",\"relative_humidity_2m\":\"%\",\"pressure_msl\":\"hPa\",\"visibility\":\"m\"},"
           "\"current\":{\"time\":\"2026-12-08T09:45\",\"interval\":900,\"temperature_2m\":" +
           std::to_string(temp) + ",\"apparent_temperature\":" + std::to_string(feels) +
           ",\"wind_speed_10m\":" + std::to_string(wind) + ",\"wind_direction_10m\":250,\"weather_code\":" +
           std::to_string(code) + ",\"is_day\":" + std::to_string(isDay) +
           ",\"relative_humidity_2m\":78,\"pressure_msl\":1021.3,\"visibility\":24140.0},"
           "\"daily_units\":{\"time\":\"iso8601\",\"weather_code\":\"wmo code\",\"temperature_2m_max\":\"" +
           u + "\",\"temperature_2m_min\":\"" + u +
           "\",\"sunrise\":\"iso8601\",\"sunset\":\"iso8601\"},"
           "\"daily\":{\"time\":[\"2026-12-08\",\"2026-12-09\",\"2026-12-10\",\"2026-12-11\",\"2026-12-12\"],"
           "\"weather_code\":[3,71,null,0,1],"
           "\"temperature_2m_max\":[38.1,33.0,35.9,40.2,null],"
           "\"temperature_2m_min\":[25.0,21.2,23.8,27.1,30.0],"
           "\"sunrise\":[\"2026-12-08T07:08\",\"2026-12-09T07:09\",\"2026-12-10T07:10\",\"2026-12-11T07:10\","
           "\"2026-12-12T07:11\"],"
           "\"sunset\":[\"2026-12-08T16:39\",\"2026-12-09T16:39\",\"2026-12-10T16:39\",\"2026-12-11T16:40\","
           "\"2026-12-12T16:40\"]}}";
}

inline std::string SpringfieldJson(long long id, const char* admin1, double lat, double lon) {
    return "{\"id\":" + std::to_string(id) +
           ",\"name\":\"Springfield\",\"latitude\":" + std::to_string(lat) + ",\"longitude\":" +
           std::to_string(lon) +
           ",\"elevation\":182.0,\"feature_code\":\"PPLA\",\"country_code\":\"US\",\"admin1_id\":4896861,"
           "\"admin2_id\":4250542,\"timezone\":\"America/Chicago\",\"population\":116250,"
           "\"postcodes\":[\"62701\",\"62702\"],\"country_id\":6252001,\"country\":\"United States\","
           "\"admin1\":\"" + admin1 + "\",\"admin2\":\"Sangamon\"}";
}
