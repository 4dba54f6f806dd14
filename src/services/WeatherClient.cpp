#include "services/WeatherClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>

#include "Version.h"
#include "model/AsciiText.h"
#include "services/WeatherAtInstant.h"

namespace vantrel {

namespace {

// Three decimals are about 100 m: finer than any weather model's cells, coarser than a
// doorstep, which need not leave the computer.
std::string degrees(double value) {
    std::array<char, 32> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, 3);
    return error == std::errc() ? std::string(buffer.data(), end) : "0";
}

template <typename Item, typename Text>
std::string joined(const std::vector<Item>& items, Text text) {
    std::string list;
    for (const auto& item : items) list += (list.empty() ? "" : ",") + text(item);
    return list;
}

ServiceAnswer failed(ServiceAnswer::Outcome outcome, std::string problem) {
    return {outcome, {}, std::move(problem)};
}

// The archive answers 400 with a reason such as "Parameter 'end_date' is out of allowed range
// from 1940-01-01 to 2024-06-02" for days it does not hold yet: no data, not a fault.
bool isOutsideArchive(long status, const std::optional<std::string>& reason) {
    return status == 400 && reason && reason->find("out of allowed range") != std::string::npos;
}

ServiceAnswer errorStatus(long status, const std::string& body) {
    auto reason = HourlyAnswer::errorReason(body);
    if (isOutsideArchive(status, reason)) {
        return failed(ServiceAnswer::Outcome::outsideArchive, *reason);
    }
    std::string problem = "HTTP status " + std::to_string(status) + (reason ? ": " + *reason : "");
    if (status == 429) return failed(ServiceAnswer::Outcome::tooManyRequests, problem);
    return failed(ServiceAnswer::Outcome::refused, problem);
}

ServiceAnswer readSeries(const std::string& body, std::size_t locations,
                         std::span<const std::string_view> variables) {
    try {
        auto series = HourlyAnswer::parse(body, variables);
        if (series.size() != locations) {
            return failed(ServiceAnswer::Outcome::refused,
                          "the answer has " + std::to_string(series.size()) +
                              " locations instead of " + std::to_string(locations));
        }
        return {ServiceAnswer::Outcome::answered, std::move(series), {}};
    } catch (const WeatherAnswerError& error) {
        return failed(ServiceAnswer::Outcome::refused, error.what());
    }
}

}  // namespace

HttpClient::Options WeatherClient::Settings::defaultHttpOptions() {
    HttpClient::Options options;
    options.userAgent =
        std::string("Vantrel/") + kVersion + " (personal workout history desktop application)";
    options.timeout = std::chrono::milliseconds(10000);
    // Two weeks of hours at two places are some 20 kB; anything near this is no such answer.
    options.maxAnswerBytes = std::size_t{2} * 1024 * 1024;
    return options;
}

WeatherClient::Settings WeatherClient::Settings::fromPreferences(Preferences& preferences) {
    Settings settings;
    if (auto url = preferences.string(kWeatherURLKey); url && !url->empty()) {
        settings.weatherURL = *url;
    }
    if (auto url = preferences.string(kAirQualityURLKey); url && !url->empty()) {
        settings.airQualityURL = *url;
    }
    return settings;
}

WeatherClient::WeatherClient(Settings settings, RequestPacer::Sleep sleep)
    : m_settings(std::move(settings)),
      m_http(m_settings.http),
      m_pacer(m_settings.pacedInterval, std::move(sleep)) {}

ServiceAnswer WeatherClient::askWeather(const WeatherRequest& request,
                                        const CancellationToken& token) {
    return ask(m_settings.weatherURL, request, kWeatherVariables, token);
}

ServiceAnswer WeatherClient::askAirQuality(const WeatherRequest& request,
                                           const CancellationToken& token) {
    return ask(m_settings.airQualityURL, request, kAirQualityVariables, token);
}

ServiceAnswer WeatherClient::ask(const std::string& endpoint, const WeatherRequest& request,
                                 std::span<const std::string_view> variables,
                                 const CancellationToken& token) {
    if (isPaced(endpoint)) m_pacer.awaitTurn();
    if (token.isCancelled()) return failed(ServiceAnswer::Outcome::cancelled, {});
    HttpAnswer answer = m_http.fetch(requestURL(endpoint, request, variables), &token);
    switch (answer.outcome) {
        case HttpAnswer::Outcome::cancelled:
            return failed(ServiceAnswer::Outcome::cancelled, {});
        case HttpAnswer::Outcome::unreachable:
            return failed(ServiceAnswer::Outcome::unreachable, answer.error);
        case HttpAnswer::Outcome::tooLarge:
            return failed(ServiceAnswer::Outcome::refused, "the answer is too large");
        case HttpAnswer::Outcome::answered:
            break;
    }
    if (answer.status != 200) return errorStatus(answer.status, answer.body);
    return readSeries(answer.body, request.locations.size(), variables);
}

bool WeatherClient::isPaced(const std::string& endpoint) const {
    std::string host = hostOf(endpoint);
    return std::find(m_settings.pacedHosts.begin(), m_settings.pacedHosts.end(), host) !=
           m_settings.pacedHosts.end();
}

std::string WeatherClient::requestURL(const std::string& endpoint, const WeatherRequest& request,
                                      std::span<const std::string_view> variables) {
    auto latitude = [](const CodableCoordinate& c) { return degrees(c.latitude); };
    auto longitude = [](const CodableCoordinate& c) { return degrees(c.longitude); };
    std::string hourly;
    for (auto variable : variables) hourly += (hourly.empty() ? "" : ",") + std::string(variable);
    // An endpoint may carry a query of its own (a key for a paid plan, say).
    char separator = endpoint.find('?') == std::string::npos ? '?' : '&';
    return endpoint + separator + "latitude=" + joined(request.locations, latitude) +
           "&longitude=" + joined(request.locations, longitude) +
           "&start_date=" + request.firstDay + "&end_date=" + request.lastDay +
           "&hourly=" + hourly + "&timezone=GMT";
}

std::string WeatherClient::hostOf(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return {};
    }
    char* host = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || !host) return {};
    std::string text = asciiLowercased(host);
    curl_free(host);
    return text;
}

}  // namespace vantrel
