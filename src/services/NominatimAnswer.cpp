#include "services/NominatimAnswer.h"

#include <simdjson.h>

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace vantrel::NominatimAnswer {

namespace {

using namespace simdjson;

// Address parts in the order in which they name the town of a place.
constexpr std::array<std::string_view, 5> kLocalityKeys = {"city", "town", "village",
                                                           "municipality", "hamlet"};
constexpr std::array<std::string_view, 3> kCountyKeys = {"county", "state_district", "district"};

template <std::size_t N>
void remember(std::string_view key, std::string_view text,
              const std::array<std::string_view, N>& keys,
              std::array<std::optional<std::string>, N>& found) {
    for (std::size_t i = 0; i < N; ++i) {
        if (key == keys[i] && !text.empty()) found[i] = std::string(text);
    }
}

template <std::size_t N>
std::optional<std::string> firstPresent(const std::array<std::optional<std::string>, N>& found) {
    for (const auto& value : found) {
        if (value) return value;
    }
    return std::nullopt;
}

void readAddress(ondemand::object address, Placemark& placemark) {
    std::array<std::optional<std::string>, kLocalityKeys.size()> localities;
    std::array<std::optional<std::string>, kCountyKeys.size()> counties;
    for (auto field : address) {
        std::string_view key = field.unescaped_key();
        std::string_view text;
        if (field.value().get_string().get(text) != SUCCESS) continue;
        remember(key, text, kLocalityKeys, localities);
        remember(key, text, kCountyKeys, counties);
    }
    placemark.locality = firstPresent(localities);
    placemark.subAdministrativeArea = firstPresent(counties);
}

std::optional<double> degreesOf(ondemand::value value) {
    std::string_view text;
    if (value.get_string().get(text) != SUCCESS) return std::nullopt;
    double number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

std::optional<CodableCoordinate> validCoordinate(std::optional<double> lat,
                                                 std::optional<double> lon) {
    if (!lat || !lon || std::fabs(*lat) > 90 || std::fabs(*lon) > 180) return std::nullopt;
    return CodableCoordinate{*lat, *lon};
}

Placemark readPlace(ondemand::object place) {
    Placemark placemark;
    std::optional<double> lat, lon;
    for (auto field : place) {
        std::string_view key = field.unescaped_key();
        if (key == "lat") lat = degreesOf(field.value());
        if (key == "lon") lon = degreesOf(field.value());
        if (key == "address") readAddress(field.value().get_object(), placemark);
    }
    placemark.location = validCoordinate(lat, lon);
    return placemark;
}

bool isErrorAnswer(ondemand::object object) {
    ondemand::value ignored;
    return object.find_field_unordered("error").get(ignored) == SUCCESS;
}

}  // namespace

std::optional<std::vector<Placemark>> parseReverse(std::string_view json) {
    try {
        ondemand::parser parser;
        padded_string padded(json);
        ondemand::document document = parser.iterate(padded);
        ondemand::object object = document.get_object();
        if (isErrorAnswer(object)) return std::vector<Placemark>{};
        object.reset();
        auto placemark = readPlace(object);
        return std::vector<Placemark>{placemark};
    } catch (const simdjson_error&) {
        return std::nullopt;
    }
}

std::optional<std::vector<Placemark>> parseSearch(std::string_view json) {
    try {
        ondemand::parser parser;
        padded_string padded(json);
        ondemand::document document = parser.iterate(padded);
        std::vector<Placemark> placemarks;
        for (auto element : document.get_array()) {
            placemarks.push_back(readPlace(element.get_object()));
        }
        return placemarks;
    } catch (const simdjson_error&) {
        return std::nullopt;
    }
}

}  // namespace vantrel::NominatimAnswer
