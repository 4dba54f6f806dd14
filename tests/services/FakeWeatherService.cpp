#include "services/FakeWeatherService.h"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace vantrel::test {

namespace {

constexpr double kHour = 3600;

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        parts.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return parts;
}

std::string number(double value) {
    std::array<char, 32> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), end);
}

int hourOfDay(Date hour) {
    return static_cast<int>(std::fmod(std::floor(unixFromDate(hour) / kHour), 24.0));
}

struct Query {
    std::vector<CodableCoordinate> locations;
    std::vector<Date> hours;
    std::vector<std::string> variables;
};

Query readQuery(const std::string& target) {
    Query query;
    auto latitudes = split(LocalHttpServer::queryValue(target, "latitude"));
    auto longitudes = split(LocalHttpServer::queryValue(target, "longitude"));
    for (std::size_t i = 0; i < latitudes.size() && i < longitudes.size(); ++i) {
        query.locations.push_back({std::stod(latitudes[i]), std::stod(longitudes[i])});
    }
    Date first = utc(LocalHttpServer::queryValue(target, "start_date") + "T00:00:00Z");
    Date last = utc(LocalHttpServer::queryValue(target, "end_date") + "T23:00:00Z");
    for (Date hour = first; hour <= last; hour += kHour) query.hours.push_back(hour);
    query.variables = split(LocalHttpServer::queryValue(target, "hourly"));
    return query;
}

std::string locationAnswer(const FakeWeatherService::World& world, const Query& query,
                           CodableCoordinate location) {
    std::string json = "{\"latitude\":" + number(location.latitude) +
                       ",\"longitude\":" + number(location.longitude) +
                       ",\"utc_offset_seconds\":0,\"timezone\":\"GMT\",\"hourly\":{\"time\":[";
    for (std::size_t i = 0; i < query.hours.size(); ++i) {
        json += (i ? ",\"" : "\"") + formatISO8601(query.hours[i]).substr(0, 16) + "\"";
    }
    json += "]";
    for (const auto& variable : query.variables) {
        json += ",\"" + variable + "\":[";
        for (std::size_t i = 0; i < query.hours.size(); ++i) {
            auto value = world(variable, location, query.hours[i]);
            json += (i ? "," : "") + (value ? number(*value) : std::string("null"));
        }
        json += "]";
    }
    return json + "}}";
}

}  // namespace

Date utc(const std::string& text) {
    auto date = parseISO8601(text, false);
    if (!date) throw std::invalid_argument("not an instant: " + text);
    return *date;
}

FakeWeatherService::FakeWeatherService()
    : m_server([this](const LocalHttpServer::Request& request) { return respond(request); }) {}

std::optional<double> FakeWeatherService::standardWorld(std::string_view variable,
                                                        CodableCoordinate, Date hour) {
    int h = hourOfDay(hour);
    if (variable == "temperature_2m") return 10 + 0.5 * h;
    if (variable == "relative_humidity_2m") return 60 - h;
    if (variable == "weather_code") return h < 12 ? 1 : 2;
    if (variable == "wind_speed_10m") return 8 + 0.5 * h;
    if (variable == "wind_direction_10m") return (h * 30) % 360;
    if (variable == "us_aqi") return 30 + h;
    return std::nullopt;
}

WeatherClient::Settings FakeWeatherService::settings() const {
    WeatherClient::Settings settings;
    settings.weatherURL = weatherURL();
    settings.airQualityURL = airQualityURL();
    settings.http.timeout = std::chrono::milliseconds(2000);
    return settings;
}

void FakeWeatherService::configure(Preferences& preferences) const {
    preferences.setString(kWeatherURLKey, weatherURL());
    preferences.setString(kAirQualityURLKey, airQualityURL());
}

std::vector<LocalHttpServer::Request> FakeWeatherService::requestsTo(std::string_view path) const {
    std::vector<LocalHttpServer::Request> matching;
    for (const auto& request : m_server.requests()) {
        if (request.target.rfind(path, 0) == 0) matching.push_back(request);
    }
    return matching;
}

std::string FakeWeatherService::answerFor(const std::string& target) const {
    Query query = readQuery(target);
    if (query.locations.size() == 1) return locationAnswer(world, query, query.locations.front());
    std::string json = "[";
    for (std::size_t i = 0; i < query.locations.size(); ++i) {
        json += (i ? "," : "") + locationAnswer(world, query, query.locations[i]);
    }
    return json + "]";
}

LocalHttpServer::Response FakeWeatherService::respond(
    const LocalHttpServer::Request& request) const {
    if (override) {
        if (auto response = override(request)) return *response;
    }
    return {200, answerFor(request.target), {}};
}

}  // namespace vantrel::test
