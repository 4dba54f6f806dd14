#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/Cancellation.h"
#include "model/Samples.h"
#include "model/WeatherSnapshot.h"
#include "services/WeatherClient.h"

namespace vantrel {

/// What the look-up for one activity found.
struct ActivityWeather {
    enum class Outcome {
        found,      ///< at least one end has a new snapshot
        noData,     ///< the services hold nothing for those hours (yet)
        failed,     ///< a bad answer or values out of range; `problems` says what
        stopRun,    ///< the service cannot be reached or wants no more requests: `stopReason`
        cancelled,  ///< the token was cancelled; nothing found is to be kept
    };
    Outcome outcome = Outcome::noData;
    std::optional<WeatherSnapshot> start;
    std::optional<WeatherSnapshot> end;
    /// What went wrong on the way, for the log; may accompany any outcome.
    std::vector<std::string> problems;
    std::string stopReason;
};

/// Looks up the weather at the start and the end of activities, one after the other, asking
/// each service once per activity. Remembers across activities how often in a row a service
/// gave no answer: after `kUnreachableLimit` the weather service ends the run, and the
/// air-quality service is no longer asked (snapshots then come without an index).
class ActivityWeatherFetcher {
  public:
    static constexpr int kUnreachableLimit = 3;
    /// Ends farther apart than this are asked for as two places; closer ones share the start's
    /// cell of every weather model.
    static constexpr double kSeparateEndsMetres = 2000;
    /// Longer spans are broken data rather than activities; asking for years of hours would
    /// burden the service for nothing.
    static constexpr int kLongestSpanDays = 14;

    explicit ActivityWeatherFetcher(WeatherClient& client);

    /// The weather at the first point (position and time) and at the last one of `route`.
    ActivityWeather fetch(const std::vector<RoutePoint>& route, const CancellationToken& token);

    /// The request for a route's ends, or absent with `problem` set when the ends cannot be
    /// asked about (no valid position or time, too long a span).
    static std::optional<WeatherRequest> requestFor(const RoutePoint& first, const RoutePoint& last,
                                                    std::string& problem);

  private:
    void addAirQuality(const WeatherRequest& request, const RoutePoint& first,
                       const RoutePoint& last, const CancellationToken& token,
                       ActivityWeather& result);
    void noteWeatherFailure(const ServiceAnswer& answer, ActivityWeather& result);

    WeatherClient& m_client;
    int m_weatherUnanswered = 0;
    int m_airQualityUnanswered = 0;
    bool m_airQualityGivenUp = false;
};

}  // namespace vantrel
