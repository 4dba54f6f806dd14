#include "model/WeatherSnapshot.h"

#include <simdjson.h>

#include <climits>
#include <cmath>

#include "model/JsonWriter.h"
#include "model/SimdjsonSupport.h"

namespace vantrel {

namespace {

struct DecodeFailure {};

// Whole numbers written as 20.0 still read as integers; 20.5 or out-of-range values do not.
int readInteger(simdjson::ondemand::value value) {
    if (value.get_number_type().value() != simdjson::ondemand::number_type::floating_point_number) {
        std::int64_t number = value.get_int64().value();
        if (number < INT_MIN || number > INT_MAX) throw DecodeFailure{};
        return static_cast<int>(number);
    }
    double number = value.get_double().value();
    if (number != std::trunc(number) || number < INT_MIN || number > INT_MAX) throw DecodeFailure{};
    return static_cast<int>(number);
}

WeatherSnapshot parseSnapshot(simdjson::ondemand::object object) {
    WeatherSnapshot snapshot;
    unsigned found = 0;
    for (auto field : object) {
        std::string_view key = field.unescaped_key().value();
        auto value = field.value().value();
        if (key == "temperatureCelsius") {
            snapshot.temperatureCelsius = value.get_double().value();
            found |= 1;
        } else if (key == "weatherCode") {
            snapshot.weatherCode = readInteger(value);
            found |= 2;
        } else if (key == "humidity") {
            snapshot.humidity = readInteger(value);
            found |= 4;
        } else if (key == "windSpeedKmh") {
            snapshot.windSpeedKmh = value.get_double().value();
            found |= 8;
        } else if (key == "windDirectionDegrees") {
            snapshot.windDirectionDegrees = readInteger(value);
            found |= 16;
        } else if (key == "aqi") {
            snapshot.aqi = value.is_null() ? std::nullopt : std::optional<int>(readInteger(value));
        }
    }
    if (found != 31) throw DecodeFailure{};
    return snapshot;
}

struct Condition {
    const char* description;
    const char* symbol;
};

Condition condition(int code) {
    switch (code) {
        case -1:
            return {"", "thermometer"};
        case 0:
            return {"Clear", "sun.max.fill"};
        case 1:
            return {"Mostly Clear", "sun.min.fill"};
        case 2:
            return {"Partly Cloudy", "cloud.sun.fill"};
        case 3:
            return {"Overcast", "cloud.fill"};
        case 45:
        case 48:
            return {"Fog", "cloud.fog.fill"};
        case 51:
        case 53:
        case 55:
            return {"Drizzle", "cloud.drizzle.fill"};
        case 56:
        case 57:
            return {"Freezing Drizzle", "cloud.drizzle.fill"};
        case 61:
        case 63:
        case 65:
            return {"Rain", "cloud.rain.fill"};
        case 66:
        case 67:
            return {"Freezing Rain", "cloud.rain.fill"};
        case 71:
        case 73:
        case 75:
            return {"Snow", "cloud.snow.fill"};
        case 77:
            return {"Snow Grains", "cloud.snow.fill"};
        case 80:
        case 81:
        case 82:
            return {"Showers", "cloud.heavyrain.fill"};
        case 85:
        case 86:
            return {"Snow Showers", "cloud.snow.fill"};
        case 95:
            return {"Thunderstorm", "cloud.bolt.rain.fill"};
        case 96:
        case 99:
            return {"Thunderstorm with Hail", "cloud.bolt.rain.fill"};
        default:
            return {"Unknown", "cloud.fill"};
    }
}

struct AqiBand {
    int upper;
    const char* category;
    Rgba colour;
};

// Fixed colours, so that a band looks the same wherever it is shown.
constexpr AqiBand kAqiBands[] = {
    {50, "Good", {0.204, 0.780, 0.349, 1, false}},
    {100, "Moderate", {1.0, 0.800, 0.0, 1, false}},
    {150, "USG", {1.0, 0.584, 0.0, 1, false}},
    {200, "Unhealthy", {1.0, 0.231, 0.188, 1, false}},
    {300, "Very Unhealthy", {0.686, 0.322, 0.871, 1, false}},
};
constexpr AqiBand kHazardous = {INT_MAX, "Hazardous", {0.5, 0.0, 0.0, 1, false}};
constexpr Rgba kSecondaryText = {0.0, 0.0, 0.0, 0.5, true};

const AqiBand& aqiBand(int aqi) {
    if (aqi < 0) return kHazardous;
    for (const auto& band : kAqiBands) {
        if (aqi <= band.upper) return band;
    }
    return kHazardous;
}

}  // namespace

std::optional<WeatherSnapshot> decodeWeather(const std::optional<Bytes>& bytes) {
    if (!bytes) return std::nullopt;
    simdjson::padded_string json(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    simdjson::ondemand::parser parser;
    try {
        simdjson::ondemand::document document = parser.iterate(json);
        WeatherSnapshot snapshot = parseSnapshot(document.get_object().value());
        if (documentHasMore(document)) return std::nullopt;
        return snapshot;
    } catch (const simdjson::simdjson_error&) {
        return std::nullopt;
    } catch (const DecodeFailure&) {
        return std::nullopt;
    }
}

Bytes encodeWeather(const WeatherSnapshot& snapshot) {
    JsonWriter json;
    json.beginObject();
    json.key("temperatureCelsius");
    json.value(snapshot.temperatureCelsius);
    json.key("weatherCode");
    json.value(snapshot.weatherCode);
    json.key("humidity");
    json.value(snapshot.humidity);
    json.key("windSpeedKmh");
    json.value(snapshot.windSpeedKmh);
    json.key("windDirectionDegrees");
    json.value(snapshot.windDirectionDegrees);
    if (snapshot.aqi) {
        json.key("aqi");
        json.value(*snapshot.aqi);
    }
    json.endObject();
    return bytesOf(json.text());
}

std::string conditionDescription(const WeatherSnapshot& snapshot) {
    return condition(snapshot.weatherCode).description;
}

std::string conditionSymbol(const WeatherSnapshot& snapshot) {
    return condition(snapshot.weatherCode).symbol;
}

std::optional<std::string> aqiCategory(const WeatherSnapshot& snapshot) {
    if (!snapshot.aqi) return std::nullopt;
    return std::string(aqiBand(*snapshot.aqi).category);
}

Rgba aqiColor(const WeatherSnapshot& snapshot) {
    if (!snapshot.aqi) return kSecondaryText;
    return aqiBand(*snapshot.aqi).colour;
}

}  // namespace vantrel
