#include "GeocodingTestWorld.h"

#include <charconv>

namespace vantrel::test {

namespace {

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

double number(const std::string& text) {
    return std::stod(text);
}

// "is_in(LAT,LON)" inside an Overpass query.
CodableCoordinate isInCoordinate(const std::string& query) {
    auto start = query.find("is_in(") + 6;
    auto comma = query.find(',', start);
    auto end = query.find(')', comma);
    return {number(query.substr(start, comma - start)),
            number(query.substr(comma + 1, end - comma - 1))};
}

// The query word of a place search: the text of its case-insensitive name match.
std::string placeQuery(const std::string& query) {
    auto start = query.find("[name~\"") + 7;
    return query.substr(start, query.find("\",i]", start) - start);
}

std::string reverseAnswer(const std::optional<std::string>& town,
                          const std::optional<std::string>& county) {
    if (!town && !county) return R"({"error":"Unable to geocode"})";
    std::string address = "\"country\":\"United States\"";
    if (town) address += ",\"town\":" + quoted(*town);
    if (county) address += ",\"county\":" + quoted(*county);
    return R"({"place_id":1,"lat":"39.8","lon":"-89.6","category":"place","address":{)" + address +
           "}}";
}

std::string areasAnswer(const std::vector<std::string>& names) {
    std::string elements;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) elements += ",";
        elements += R"({"type":"area","id":)" + std::to_string(3600000000 + i) +
                    R"(,"tags":{"leisure":"park","name":)" + quoted(names[i]) + "}}";
    }
    return R"({"version":0.6,"generator":"test","elements":[)" + elements + "]}";
}

std::string placesAnswer(const std::vector<MapItem>& items) {
    std::string elements;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) elements += ",";
        const auto& c = items[i].coordinate;
        std::string tags = items[i].name ? R"("name":)" + quoted(*items[i].name) : "";
        elements += R"({"type":"way","id":)" + std::to_string(i + 1) + R"(,"center":{"lat":)" +
                    std::to_string(c.latitude) + R"(,"lon":)" + std::to_string(c.longitude) +
                    R"(},"tags":{)" + tags + "}}";
    }
    return R"({"version":0.6,"elements":[)" + elements + "]}";
}

std::string searchAnswer(const std::vector<CodableCoordinate>& hits) {
    std::string results;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        if (i > 0) results += ",";
        results += R"({"lat":")" + std::to_string(hits[i].latitude) + R"(","lon":")" +
                   std::to_string(hits[i].longitude) + R"(","display_name":"Somewhere"})";
    }
    return "[" + results + "]";
}

}  // namespace

GeocodingTestWorld::GeocodingTestWorld() {
    m_server = std::make_unique<LocalHttpServer>([this](const auto& r) { return respond(r); });
    m_geocoder = std::make_unique<OnlineGeocoder>(settings());
}

OnlineGeocoder::Settings GeocodingTestWorld::settings() const {
    OnlineGeocoder::Settings settings;
    settings.nominatimURL = url();
    settings.overpassURL = url() + "/api/interpreter";
    settings.nominatimInterval = {};
    settings.overpassInterval = {};
    settings.http.timeout = std::chrono::milliseconds(1500);
    // Every failure is answered anew, so tests see each look-up a run makes.
    settings.restAfterServerError = {};
    return settings;
}

std::vector<GeocodingTestWorld::Lookup> GeocodingTestWorld::lookups() const {
    std::lock_guard lock(m_mutex);
    return m_lookups;
}

LocalHttpServer::Response GeocodingTestWorld::respond(const LocalHttpServer::Request& request) {
    const auto& target = request.target;
    Lookup lookup{Kind::reverse, {}, {}, {}};
    std::string body;
    if (target.rfind("/reverse?", 0) == 0) {
        lookup.coordinate = {number(LocalHttpServer::queryValue(target, "lat")),
                             number(LocalHttpServer::queryValue(target, "lon"))};
        body = reverseAnswer(town, county);
    } else if (target.rfind("/search?", 0) == 0) {
        lookup = {Kind::search, {}, LocalHttpServer::queryValue(target, "q"), {}};
        body = searchAnswer(searchHits);
    } else {
        auto query = LocalHttpServer::queryValue(target, "data");
        if (query.find("is_in(") != std::string::npos) {
            lookup = {Kind::areas, isInCoordinate(query), {}, {}};
            body = areasAnswer(areasAt(lookup.coordinate));
        } else {
            lookup = {Kind::places, {}, placeQuery(query), {}};
            body = placesAnswer(places[lookup.text]);
        }
    }
    lookup.target = target;
    {
        std::lock_guard lock(m_mutex);
        m_lookups.push_back(lookup);
    }
    if (failWith) return {*failWith, "{}", {}};
    return {200, body, {}};
}

}  // namespace vantrel::test
