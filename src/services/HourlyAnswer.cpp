#include "services/HourlyAnswer.h"

#include <simdjson.h>

#include <algorithm>

#include "model/SimdjsonSupport.h"

namespace vantrel::HourlyAnswer {

namespace {

using namespace simdjson;

// "2024-05-01T14:00": the service's hour in GMT, without seconds or zone.
Date hourOf(std::string_view text) {
    constexpr std::size_t kLength = 16;
    std::optional<Date> date;
    if (text.size() == kLength) date = parseISO8601(std::string(text) + ":00Z", false);
    if (!date) {
        throw WeatherAnswerError("the hour \"" + std::string(text.substr(0, 40)) +
                                 "\" is not of the form YYYY-MM-DDTHH:MM");
    }
    return *date;
}

std::vector<Date> readTimes(ondemand::array array) {
    std::vector<Date> times;
    for (auto element : array) {
        Date hour = hourOf(element.get_string().value());
        if (!times.empty() && hour <= times.back()) {
            throw WeatherAnswerError("the hours are out of order");
        }
        times.push_back(hour);
    }
    return times;
}

std::vector<std::optional<double>> readValues(ondemand::array array, std::string_view name) {
    std::vector<std::optional<double>> values;
    for (auto element : array) {
        ondemand::json_type type = element.type().value();
        if (type == ondemand::json_type::null) {
            values.emplace_back();
        } else if (type == ondemand::json_type::number) {
            values.emplace_back(element.get_double().value());
        } else {
            throw WeatherAnswerError("a value of " + std::string(name) +
                                     " is neither a number nor null");
        }
    }
    return values;
}

struct Reading {
    HourlySeries series;
    std::vector<bool> found;
    bool hasTimes = false;
};

void readHourly(ondemand::object hourly, std::span<const std::string_view> variables,
                Reading& reading) {
    for (auto field : hourly) {
        std::string_view key = field.unescaped_key().value();
        if (key == "time") {
            reading.series.times = readTimes(field.value().get_array().value());
            reading.hasTimes = true;
            continue;
        }
        auto wanted = std::find(variables.begin(), variables.end(), key);
        if (wanted == variables.end()) continue;
        auto index = static_cast<std::size_t>(wanted - variables.begin());
        reading.series.values[index] = readValues(field.value().get_array().value(), key);
        reading.found[index] = true;
    }
}

void checkComplete(const Reading& reading, std::span<const std::string_view> variables) {
    if (!reading.hasTimes) throw WeatherAnswerError("the answer has no hourly times");
    for (std::size_t i = 0; i < variables.size(); ++i) {
        if (!reading.found[i]) {
            throw WeatherAnswerError("the answer has no " + std::string(variables[i]));
        }
        if (reading.series.values[i].size() != reading.series.times.size()) {
            throw WeatherAnswerError("the hourly arrays have different lengths");
        }
    }
}

HourlySeries readLocation(ondemand::object location, std::span<const std::string_view> variables) {
    Reading reading;
    reading.series.values.resize(variables.size());
    reading.found.resize(variables.size());
    for (auto field : location) {
        std::string_view key = field.unescaped_key().value();
        if (key == "utc_offset_seconds") {
            // Hours in another zone would put every snapshot at the wrong time.
            if (field.value().get_double().value() != 0) {
                throw WeatherAnswerError("the hours are not in GMT");
            }
        } else if (key == "hourly") {
            readHourly(field.value().get_object().value(), variables, reading);
        }
    }
    checkComplete(reading, variables);
    return std::move(reading.series);
}

}  // namespace

std::vector<HourlySeries> parse(std::string_view json,
                                std::span<const std::string_view> variables) {
    std::vector<HourlySeries> locations;
    try {
        ondemand::parser parser;
        padded_string padded(json);
        ondemand::document document = parser.iterate(padded);
        if (document.type().value() == ondemand::json_type::array) {
            for (auto element : document.get_array()) {
                locations.push_back(readLocation(element.get_object().value(), variables));
            }
        } else {
            locations.push_back(readLocation(document.get_object().value(), variables));
        }
        if (documentHasMore(document)) throw WeatherAnswerError("text follows the answer");
    } catch (const simdjson_error& error) {
        throw WeatherAnswerError(
            std::string("the answer is not valid JSON of the expected form (") + error.what() +
            ")");
    }
    return locations;
}

std::optional<std::string> errorReason(std::string_view json) {
    try {
        ondemand::parser parser;
        padded_string padded(json);
        ondemand::document document = parser.iterate(padded);
        std::optional<std::string> reason;
        bool isError = false;
        for (auto field : document.get_object()) {
            std::string_view key = field.unescaped_key().value();
            if (key == "error") isError = field.value().get_bool().value();
            if (key == "reason") reason = std::string(field.value().get_string().value());
        }
        if (isError && reason) return reason;
    } catch (const simdjson_error&) {
    }
    return std::nullopt;
}

}  // namespace vantrel::HourlyAnswer
