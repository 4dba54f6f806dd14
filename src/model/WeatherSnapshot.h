#pragma once

#include <optional>
#include <string>

#include "model/Bytes.h"

namespace vantrel {

struct WeatherSnapshot {
    double temperatureCelsius = 0;
    int weatherCode = -1;
    int humidity = 0;
    double windSpeedKmh = 0;
    int windDirectionDegrees = 0;
    std::optional<int> aqi;
    friend bool operator==(const WeatherSnapshot&, const WeatherSnapshot&) = default;
};

/// An sRGB colour with components 0...1; `secondary` marks the dimmed text colour.
struct Rgba {
    double red = 0, green = 0, blue = 0, alpha = 1;
    bool secondary = false;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

/// Absent when the bytes are absent or do not decode.
std::optional<WeatherSnapshot> decodeWeather(const std::optional<Bytes>& bytes);
Bytes encodeWeather(const WeatherSnapshot& snapshot);
std::string conditionDescription(const WeatherSnapshot& snapshot);
std::string conditionSymbol(const WeatherSnapshot& snapshot);
std::optional<std::string> aqiCategory(const WeatherSnapshot& snapshot);
Rgba aqiColor(const WeatherSnapshot& snapshot);

}  // namespace vantrel
