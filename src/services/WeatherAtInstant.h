#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "model/WeatherSnapshot.h"
#include "services/HourlyAnswer.h"

namespace vantrel {

/// The hourly variables asked of the weather service, in the order `weatherAt` reads them.
inline constexpr std::array<std::string_view, 5> kWeatherVariables = {
    "temperature_2m", "relative_humidity_2m", "weather_code", "wind_speed_10m",
    "wind_direction_10m"};
/// The hourly variable asked of the air-quality service.
inline constexpr std::array<std::string_view, 1> kAirQualityVariables = {"us_aqi"};

/// A value read for one instant: present, or absent with `problem` empty when the service has
/// no data for it (yet), or absent with `problem` saying which value was out of range.
template <typename Value>
struct InstantReading {
    std::optional<Value> value;
    std::string problem;
};

/// The weather at `instant` from series holding `kWeatherVariables`: temperature, humidity and
/// wind interpolated linearly between the hours around the instant (humidity and direction
/// rounded to whole numbers, the direction the short way round), the weather code of the
/// nearest hour (the later one at half past). `aqi` is left absent.
InstantReading<WeatherSnapshot> weatherAt(const HourlySeries& weather, Date instant);

/// The US air-quality index of the hour nearest to `instant` from series holding
/// `kAirQualityVariables`.
InstantReading<int> aqiAt(const HourlySeries& airQuality, Date instant);

}  // namespace vantrel
