#include "services/OnlineGeocoder.h"

#include <array>
#include <charconv>
#include <map>

#include "Version.h"
#include "services/NominatimAnswer.h"
#include "services/OverpassAnswer.h"

namespace vantrel {

namespace {

std::string fixed(double value) {
    std::array<char, 32> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, 7);
    return error == std::errc() ? std::string(buffer.data(), end) : "0";
}

std::string withoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url;
}

bool isHost(const std::string& url, const std::string& defaultURL) {
    return withoutTrailingSlash(url) == withoutTrailingSlash(defaultURL);
}

// The text becomes a regular expression inside a quoted query string: regular-expression
// characters need a backslash that survives the string's own unescaping, quotes need one for it.
std::string regexLiteral(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\n' || c == '\r') c = ' ';
        if (c == '"') {
            escaped += "\\\"";
        } else if (c == '\\') {
            escaped += "\\\\\\\\";
        } else if (std::string_view("^$.|?*+()[]{}").find(c) != std::string_view::npos) {
            escaped += "\\\\";
            escaped += c;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// Tags that mark the kinds of place a query word stands for.
const std::map<std::string, std::vector<std::string>, std::less<>>& kindFilters() {
    static const std::map<std::string, std::vector<std::string>, std::less<>> filters = {
        {"park", {"[leisure=park]", "[boundary=national_park]"}},
        {"preserve", {"[leisure=nature_reserve]", "[boundary=protected_area]"}},
        {"open space", {"[landuse=recreation_ground]", "[leisure=common]"}},
    };
    return filters;
}

}  // namespace

HttpClient::Options OnlineGeocoder::Settings::defaultHttpOptions() {
    HttpClient::Options options;
    options.userAgent =
        std::string("Vantrel/") + kVersion + " (personal workout history desktop application)";
    return options;
}

OnlineGeocoder::Settings OnlineGeocoder::Settings::fromPreferences(Preferences& preferences) {
    Settings settings;
    if (auto url = preferences.string(kNominatimURLKey); url && !url->empty()) {
        settings.nominatimURL = *url;
    }
    if (auto url = preferences.string(kOverpassURLKey); url && !url->empty()) {
        settings.overpassURL = *url;
    }
    using std::chrono::milliseconds;
    if (!isHost(settings.nominatimURL, kDefaultNominatimURL)) settings.nominatimInterval = {};
    if (!isHost(settings.overpassURL, kDefaultOverpassURL)) settings.overpassInterval = {};
    return settings;
}

OnlineGeocoder::OnlineGeocoder(Settings settings, RequestPacer::Sleep sleep)
    : m_settings(std::move(settings)),
      m_http(m_settings.http),
      m_nominatimPacer(m_settings.nominatimInterval, sleep),
      m_overpassPacer(m_settings.overpassInterval, sleep) {}

std::optional<std::string> OnlineGeocoder::askNominatim(const std::string& pathAndQuery) {
    m_nominatimPacer.awaitTurn();
    return m_http.get(withoutTrailingSlash(m_settings.nominatimURL) + pathAndQuery);
}

std::optional<std::string> OnlineGeocoder::askOverpass(const std::string& query) {
    m_overpassPacer.awaitTurn();
    return m_http.get(m_settings.overpassURL + "?data=" + HttpClient::percentEncode(query));
}

std::optional<std::vector<Placemark>> OnlineGeocoder::reverseGeocode(CodableCoordinate coordinate) {
    auto answer = askNominatim("/reverse?format=jsonv2&addressdetails=1&zoom=14&lat=" +
                               fixed(coordinate.latitude) + "&lon=" + fixed(coordinate.longitude));
    if (!answer) return std::nullopt;
    return NominatimAnswer::parseReverse(*answer);
}

std::optional<std::vector<std::string>> OnlineGeocoder::areasOfInterest(
    CodableCoordinate coordinate) {
    auto answer = askOverpass(areasQuery(coordinate));
    if (!answer) return std::nullopt;
    return OverpassAnswer::parseNames(*answer);
}

std::optional<std::vector<Placemark>> OnlineGeocoder::geocodeAddress(std::string_view text) {
    auto answer = askNominatim("/search?format=jsonv2&addressdetails=1&limit=5&q=" +
                               HttpClient::percentEncode(text));
    if (!answer) return std::nullopt;
    return NominatimAnswer::parseSearch(*answer);
}

std::optional<std::vector<MapItem>> OnlineGeocoder::searchPlaces(std::string_view query,
                                                                 const SearchRegion& region) {
    auto answer = askOverpass(placesQuery(query, region));
    if (!answer) return std::nullopt;
    return OverpassAnswer::parseItems(*answer);
}

std::string OnlineGeocoder::areasQuery(CodableCoordinate coordinate) {
    // Administrative boundaries enclose every point; only named open spaces and the like count.
    return "[out:json][timeout:5];is_in(" + fixed(coordinate.latitude) + "," +
           fixed(coordinate.longitude) + ")->.a;area.a[name][!\"admin_level\"];out tags;";
}

std::string OnlineGeocoder::placesQuery(std::string_view query, const SearchRegion& region) {
    auto b = region.bounds();
    std::string bbox = "(" + fixed(b.south) + "," + fixed(b.west) + "," + fixed(b.north) + "," +
                       fixed(b.east) + ")";
    std::string nameMatch = "[name~\"" + regexLiteral(query) + "\",i]";
    std::string statements;
    if (auto found = kindFilters().find(query); found != kindFilters().end()) {
        for (const auto& filter : found->second)
            statements += "nwr" + filter + "[name]" + bbox + ";";
    }
    for (const char* key : {"leisure", "boundary", "landuse"}) {
        statements += std::string("nwr[") + key + "]" + nameMatch + bbox + ";";
    }
    return "[out:json][timeout:5];(" + statements + ");out tags center 100;";
}

}  // namespace vantrel
