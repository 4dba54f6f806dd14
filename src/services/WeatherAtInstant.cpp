#include "services/WeatherAtInstant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace vantrel {

namespace {

enum Variable { temperature, humidity, weatherCode, windSpeed, windDirection };

struct Range {
    double lowest;
    double highest;
};

// What the earth's surface can plausibly show; anything beyond is a broken answer, and a
// snapshot made of it would stay in the store for good.
constexpr std::array<Range, kWeatherVariables.size()> kWeatherRanges = {{
    {-100, 100},  // °C
    {0, 100},     // %
    {0, 99},      // WMO code
    {0, 500},     // km/h
    {0, 360},     // degrees
}};
constexpr Range kAqiRange = {0, 10000};

/// The hours on either side of an instant and how far it lies towards the later one (0…1).
struct Bracket {
    std::size_t before;
    std::size_t after;
    double weight;
    std::size_t nearest() const { return weight < 0.5 ? before : after; }
};

std::optional<Bracket> bracketOf(const std::vector<Date>& times, Date instant) {
    if (times.empty() || !std::isfinite(instant)) return std::nullopt;
    if (instant < times.front() || instant > times.back()) return std::nullopt;
    auto after = static_cast<std::size_t>(std::lower_bound(times.begin(), times.end(), instant) -
                                          times.begin());
    if (times[after] == instant) return Bracket{after, after, 0};
    std::size_t before = after - 1;
    return Bracket{before, after, (instant - times[before]) / (times[after] - times[before])};
}

std::string numberText(double value) {
    std::array<char, 32> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc() ? std::string(buffer.data(), end) : "?";
}

/// The values of one variable at the hours the instant needs; absent when one is missing.
struct Pair {
    double before;
    double after;
};

std::optional<Pair> valuesAround(const std::vector<std::optional<double>>& values,
                                 const Bracket& bracket) {
    const auto& before = values[bracket.before];
    const auto& after = values[bracket.after];
    if (!before || !after) return std::nullopt;
    return Pair{*before, *after};
}

std::string outOfRange(std::string_view name, double value) {
    return std::string(name) + " is out of range (" + numberText(value) + ")";
}

std::optional<std::string> rangeProblem(std::string_view name, const Pair& pair, Range range) {
    for (double value : {pair.before, pair.after}) {
        if (!(value >= range.lowest && value <= range.highest)) return outOfRange(name, value);
    }
    return std::nullopt;
}

double interpolate(const Pair& pair, double weight) {
    return pair.before + (pair.after - pair.before) * weight;
}

// The short way round: from 350° to 10° passes through 0°, not 180°.
int interpolateDirection(const Pair& pair, double weight) {
    double step = pair.after - pair.before;
    if (step > 180) step -= 360;
    if (step < -180) step += 360;
    double direction = std::fmod(pair.before + step * weight + 360, 360);
    auto rounded = static_cast<int>(std::lround(direction));
    return rounded == 360 ? 0 : rounded;
}

WeatherSnapshot snapshotOf(const std::array<Pair, kWeatherVariables.size()>& pairs,
                           const Bracket& bracket) {
    double w = bracket.weight;
    WeatherSnapshot snapshot;
    snapshot.temperatureCelsius = interpolate(pairs[temperature], w);
    snapshot.humidity = static_cast<int>(std::lround(interpolate(pairs[humidity], w)));
    snapshot.weatherCode = static_cast<int>(std::lround(pairs[weatherCode].before));
    snapshot.windSpeedKmh = interpolate(pairs[windSpeed], w);
    snapshot.windDirectionDegrees = interpolateDirection(pairs[windDirection], w);
    return snapshot;
}

}  // namespace

InstantReading<WeatherSnapshot> weatherAt(const HourlySeries& weather, Date instant) {
    auto bracket = bracketOf(weather.times, instant);
    if (!bracket || weather.values.size() != kWeatherVariables.size()) return {};
    std::array<Pair, kWeatherVariables.size()> pairs{};
    // The code is not interpolated: only the nearest hour's counts.
    std::size_t nearest = bracket->nearest();
    for (std::size_t i = 0; i < kWeatherVariables.size(); ++i) {
        auto pair = i == weatherCode ? valuesAround(weather.values[i], {nearest, nearest, 0})
                                     : valuesAround(weather.values[i], *bracket);
        if (!pair) return {};
        pairs[i] = *pair;
    }
    for (std::size_t i = 0; i < kWeatherVariables.size(); ++i) {
        if (auto problem = rangeProblem(kWeatherVariables[i], pairs[i], kWeatherRanges[i])) {
            return {std::nullopt, *problem};
        }
    }
    return {snapshotOf(pairs, *bracket), {}};
}

InstantReading<int> aqiAt(const HourlySeries& airQuality, Date instant) {
    auto bracket = bracketOf(airQuality.times, instant);
    if (!bracket || airQuality.values.size() != kAirQualityVariables.size()) return {};
    const auto& value = airQuality.values.front()[bracket->nearest()];
    if (!value) return {};
    if (!(*value >= kAqiRange.lowest && *value <= kAqiRange.highest)) {
        return {std::nullopt, outOfRange(kAirQualityVariables.front(), *value)};
    }
    return {static_cast<int>(std::lround(*value)), {}};
}

}  // namespace vantrel
