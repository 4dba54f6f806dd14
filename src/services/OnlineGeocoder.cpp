#include "services/OnlineGeocoder.h"

#include <array>
#include <charconv>
#include <cmath>
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

// "LAT,LON" with the decimals a question is asked with. The buffer holds any double written out.
std::string questionText(CodableCoordinate coordinate) {
    std::string text;
    for (double value : {coordinate.latitude, coordinate.longitude}) {
        std::array<char, 400> buffer{};
        auto [end, error] =
            std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                          std::chars_format::fixed, OnlineGeocoder::kQuestionDecimals);
        if (!text.empty()) text += ',';
        text.append(buffer.data(), error == std::errc() ? end : buffer.data());
    }
    return text;
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

OnlineGeocoder::OnlineGeocoder(Settings settings, const RequestPacer::Sleep& sleep)
    : m_settings(std::move(settings)),
      m_http(m_settings.http),
      m_nominatimPacer(m_settings.nominatimInterval, sleep),
      m_overpassPacer(m_settings.overpassInterval, sleep),
      m_health(m_settings.restAfterServerError) {}

CodableCoordinate OnlineGeocoder::rounded(CodableCoordinate coordinate) {
    constexpr double kScale = 10'000;
    static_assert(kQuestionDecimals == 4);
    // Adding zero turns -0 into 0, so that both ask the same question.
    return {std::round(coordinate.latitude * kScale) / kScale + 0.0,
            std::round(coordinate.longitude * kScale) / kScale + 0.0};
}

std::string OnlineGeocoder::nominatimURL(const std::string& pathAndQuery) const {
    return withoutTrailingSlash(m_settings.nominatimURL) + pathAndQuery;
}

std::string OnlineGeocoder::overpassURL(const std::string& query) const {
    return m_settings.overpassURL + "?data=" + HttpClient::percentEncode(query);
}

template <typename Parse>
auto OnlineGeocoder::answer(Server server, const GeocodeCache::Question& question,
                            const std::string& url, Parse parse)
    -> decltype(parse(std::string_view())) {
    auto* cache = m_settings.cache.get();
    if (cache) {
        // A remembered answer that no longer reads is asked again, and replaced.
        if (auto body = cache->find(question)) {
            if (auto parsed = parse(*body)) return parsed;
        }
    }
    if (!m_health.mayAsk(server)) return std::nullopt;
    (server == nominatim ? m_nominatimPacer : m_overpassPacer).awaitTurn();
    auto response = m_http.request(url);
    ++m_requestsSent;
    decltype(parse(std::string_view())) parsed;
    if (response.body) parsed = parse(*response.body);
    m_health.record(server, parsed.has_value(), response.failure);
    if (parsed && cache) cache->store(question, *response.body);
    return parsed;
}

std::optional<std::vector<Placemark>> OnlineGeocoder::reverseGeocode(CodableCoordinate coordinate) {
    auto at = rounded(coordinate);
    return answer(
        nominatim, {withoutTrailingSlash(m_settings.nominatimURL), "reverse", questionText(at)},
        nominatimURL("/reverse?format=jsonv2&addressdetails=1&zoom=14&lat=" + fixed(at.latitude) +
                     "&lon=" + fixed(at.longitude)),
        NominatimAnswer::parseReverse);
}

std::optional<std::vector<std::string>> OnlineGeocoder::areasOfInterest(
    CodableCoordinate coordinate) {
    auto at = rounded(coordinate);
    return answer(overpass, {m_settings.overpassURL, "areas", questionText(at)},
                  overpassURL(areasQuery(at)), OverpassAnswer::parseNames);
}

std::optional<std::vector<Placemark>> OnlineGeocoder::geocodeAddress(std::string_view text) {
    return answer(nominatim,
                  {withoutTrailingSlash(m_settings.nominatimURL), "search", std::string(text)},
                  nominatimURL("/search?format=jsonv2&addressdetails=1&limit=5&q=" +
                               HttpClient::percentEncode(text)),
                  NominatimAnswer::parseSearch);
}

std::optional<std::vector<MapItem>> OnlineGeocoder::searchPlaces(std::string_view query,
                                                                 const SearchRegion& region) {
    SearchRegion asked{rounded(region.center), region.latitudinalMeters, region.longitudinalMeters};
    std::string question = std::string(query) + "|" + questionText(asked.center) + "|" +
                           fixed(asked.latitudinalMeters) + "x" + fixed(asked.longitudinalMeters);
    return answer(overpass, {m_settings.overpassURL, "places", question},
                  overpassURL(placesQuery(query, asked)), OverpassAnswer::parseItems);
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
        for (const auto& filter : found->second) {
            statements.append("nwr").append(filter).append("[name]").append(bbox).append(";");
        }
    }
    for (const char* key : {"leisure", "boundary", "landuse"}) {
        statements.append("nwr[").append(key).append("]").append(nameMatch).append(bbox).append(
            ";");
    }
    return "[out:json][timeout:5];(" + statements + ");out tags center 100;";
}

}  // namespace vantrel
