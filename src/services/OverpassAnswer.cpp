#include "services/OverpassAnswer.h"

#include <simdjson.h>

#include <cmath>

namespace vantrel::OverpassAnswer {

namespace {

using namespace simdjson;

struct Element {
    std::optional<std::string> name;
    std::optional<double> lat, lon;
    std::optional<double> centerLat, centerLon;
};

std::optional<double> numberOf(ondemand::value value) {
    double number = 0;
    if (value.get_double().get(number) != SUCCESS || !std::isfinite(number)) return std::nullopt;
    return number;
}

std::optional<std::string> nameTag(ondemand::object tags) {
    for (auto field : tags) {
        std::string_view key = field.unescaped_key();
        std::string_view text;
        if (key == "name" && field.value().get_string().get(text) == SUCCESS && !text.empty()) {
            return std::string(text);
        }
    }
    return std::nullopt;
}

void readCenter(ondemand::object center, Element& element) {
    for (auto field : center) {
        std::string_view key = field.unescaped_key();
        if (key == "lat") element.centerLat = numberOf(field.value());
        if (key == "lon") element.centerLon = numberOf(field.value());
    }
}

Element readElement(ondemand::object object) {
    Element element;
    for (auto field : object) {
        std::string_view key = field.unescaped_key();
        if (key == "tags") element.name = nameTag(field.value().get_object());
        if (key == "lat") element.lat = numberOf(field.value());
        if (key == "lon") element.lon = numberOf(field.value());
        if (key == "center") readCenter(field.value().get_object(), element);
    }
    return element;
}

std::optional<CodableCoordinate> positionOf(const Element& element) {
    auto lat = element.lat ? element.lat : element.centerLat;
    auto lon = element.lat ? element.lon : element.centerLon;
    if (!lat || !lon || std::fabs(*lat) > 90 || std::fabs(*lon) > 180) return std::nullopt;
    return CodableCoordinate{*lat, *lon};
}

template <typename Visit>
bool forEachElement(std::string_view json, Visit visit) {
    try {
        ondemand::parser parser;
        padded_string padded(json);
        ondemand::document document = parser.iterate(padded);
        bool sawElements = false;
        for (auto field : document.get_object()) {
            std::string_view key = field.unescaped_key();
            // A server that ran out of time or memory says so in a remark, beside a partial list.
            if (key == "remark") return false;
            if (key != "elements") continue;
            sawElements = true;
            for (auto value : field.value().get_array()) visit(readElement(value.get_object()));
        }
        return sawElements;
    } catch (const simdjson_error&) {
        return false;
    }
}

}  // namespace

std::optional<std::vector<std::string>> parseNames(std::string_view json) {
    std::vector<std::string> names;
    bool ok = forEachElement(json, [&](const Element& element) {
        if (element.name) names.push_back(*element.name);
    });
    if (!ok) return std::nullopt;
    return names;
}

std::optional<std::vector<MapItem>> parseItems(std::string_view json) {
    std::vector<MapItem> items;
    bool ok = forEachElement(json, [&](const Element& element) {
        if (auto position = positionOf(element)) items.push_back({element.name, *position});
    });
    if (!ok) return std::nullopt;
    return items;
}

}  // namespace vantrel::OverpassAnswer
