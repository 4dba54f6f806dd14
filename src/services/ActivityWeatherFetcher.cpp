#include "services/ActivityWeatherFetcher.h"

#include <cmath>

#include "analysis/GeodesicDistance.h"
#include "services/WeatherAtInstant.h"

namespace vantrel {

namespace {

using Outcome = ActivityWeather::Outcome;

constexpr double kSecondsPerHour = 3600;
constexpr double kSecondsPerDay = 86400;

bool isOnEarth(const CodableCoordinate& c) {
    return std::isfinite(c.latitude) && std::isfinite(c.longitude) && std::fabs(c.latitude) <= 90 &&
           std::fabs(c.longitude) <= 180;
}

std::string utcDay(Date date) {
    return formatISO8601(date).substr(0, 10);
}

// An instant after the last whole hour of a day needs the first hour of the next one.
Date nextWholeHour(Date date) {
    return std::ceil(date / kSecondsPerHour) * kSecondsPerHour;
}

std::string unreachableText(const std::string& error) {
    return "The weather service cannot be reached: " + error;
}

}  // namespace

ActivityWeatherFetcher::ActivityWeatherFetcher(WeatherClient& client) : m_client(client) {}

std::optional<WeatherRequest> ActivityWeatherFetcher::requestFor(const RoutePoint& first,
                                                                 const RoutePoint& last,
                                                                 std::string& problem) {
    if (!isOnEarth(first.coordinate) || !isOnEarth(last.coordinate)) {
        problem = "the route's ends have no valid position";
        return std::nullopt;
    }
    Date lastHour = nextWholeHour(last.timestamp);
    if (!isFormattableISO8601(first.timestamp) || !isFormattableISO8601(lastHour) ||
        lastHour < first.timestamp) {
        problem = "the route's ends have no valid time";
        return std::nullopt;
    }
    if (lastHour - first.timestamp > kLongestSpanDays * kSecondsPerDay) {
        problem = "the route spans more than " + std::to_string(kLongestSpanDays) + " days";
        return std::nullopt;
    }
    WeatherRequest request;
    request.locations.push_back(first.coordinate);
    if (geodesicDistance(first.coordinate, last.coordinate) > kSeparateEndsMetres) {
        request.locations.push_back(last.coordinate);
    }
    request.firstDay = utcDay(first.timestamp);
    request.lastDay = utcDay(lastHour);
    return request;
}

ActivityWeather ActivityWeatherFetcher::fetch(const std::vector<RoutePoint>& route,
                                              const CancellationToken& token) {
    ActivityWeather result;
    if (route.empty()) return result;
    const RoutePoint& first = route.front();
    const RoutePoint& last = route.back();
    std::string problem;
    auto request = requestFor(first, last, problem);
    if (!request) {
        result.outcome = Outcome::failed;
        result.problems.push_back(problem);
        return result;
    }
    ServiceAnswer weather = m_client.askWeather(*request, token);
    if (weather.outcome != ServiceAnswer::Outcome::answered) {
        noteWeatherFailure(weather, result);
        return result;
    }
    m_weatherUnanswered = 0;
    bool outOfRange = false;
    auto read = [&](const HourlySeries& series, Date instant, const char* end) {
        auto reading = weatherAt(series, instant);
        if (!reading.problem.empty()) {
            result.problems.push_back(std::string(end) + ": " + reading.problem);
            outOfRange = true;
        }
        return reading.value;
    };
    result.start = read(weather.series.front(), first.timestamp, "start");
    result.end = read(weather.series.back(), last.timestamp, "end");
    if (result.start || result.end) {
        addAirQuality(*request, first, last, token, result);
        if (result.outcome == Outcome::cancelled) return result;
        result.outcome = Outcome::found;
    } else {
        result.outcome = outOfRange ? Outcome::failed : Outcome::noData;
    }
    return result;
}

void ActivityWeatherFetcher::noteWeatherFailure(const ServiceAnswer& answer,
                                                ActivityWeather& result) {
    switch (answer.outcome) {
        case ServiceAnswer::Outcome::answered:
            return;
        case ServiceAnswer::Outcome::outsideArchive:
            m_weatherUnanswered = 0;
            result.outcome = Outcome::noData;
            return;
        case ServiceAnswer::Outcome::refused:
            m_weatherUnanswered = 0;
            result.outcome = Outcome::failed;
            result.problems.push_back(answer.problem);
            return;
        case ServiceAnswer::Outcome::tooManyRequests:
            result.outcome = Outcome::stopRun;
            result.stopReason =
                "The weather service refuses further requests for now (" + answer.problem + ")";
            return;
        case ServiceAnswer::Outcome::unreachable:
            result.outcome = Outcome::failed;
            result.problems.push_back(unreachableText(answer.problem));
            if (++m_weatherUnanswered >= kUnreachableLimit) {
                result.outcome = Outcome::stopRun;
                result.stopReason = unreachableText(answer.problem);
            }
            return;
        case ServiceAnswer::Outcome::cancelled:
            result.outcome = Outcome::cancelled;
            return;
    }
}

void ActivityWeatherFetcher::addAirQuality(const WeatherRequest& request, const RoutePoint& first,
                                           const RoutePoint& last, const CancellationToken& token,
                                           ActivityWeather& result) {
    if (m_airQualityGivenUp) return;
    ServiceAnswer air = m_client.askAirQuality(request, token);
    switch (air.outcome) {
        case ServiceAnswer::Outcome::answered:
            m_airQualityUnanswered = 0;
            break;
        case ServiceAnswer::Outcome::cancelled:
            result.outcome = Outcome::cancelled;
            return;
        case ServiceAnswer::Outcome::outsideArchive:
            m_airQualityUnanswered = 0;
            return;
        case ServiceAnswer::Outcome::refused:
            m_airQualityUnanswered = 0;
            result.problems.push_back("air quality: " + air.problem);
            return;
        case ServiceAnswer::Outcome::tooManyRequests:
        case ServiceAnswer::Outcome::unreachable:
            result.problems.push_back("air quality: " + air.problem);
            if (air.outcome == ServiceAnswer::Outcome::tooManyRequests ||
                ++m_airQualityUnanswered >= kUnreachableLimit) {
                m_airQualityGivenUp = true;
                result.problems.push_back(
                    "the air-quality service is not asked again during this run");
            }
            return;
    }
    auto add = [&](std::optional<WeatherSnapshot>& snapshot, const HourlySeries& series,
                   Date instant, const char* end) {
        if (!snapshot) return;
        auto reading = aqiAt(series, instant);
        snapshot->aqi = reading.value;
        if (!reading.problem.empty()) {
            result.problems.push_back(std::string(end) + ": " + reading.problem);
        }
    };
    add(result.start, air.series.front(), first.timestamp, "start");
    add(result.end, air.series.back(), last.timestamp, "end");
}

}  // namespace vantrel
