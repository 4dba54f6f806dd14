#pragma once

#include <chrono>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/Cancellation.h"
#include "model/Preferences.h"
#include "model/Samples.h"
#include "services/HourlyAnswer.h"
#include "services/HttpClient.h"
#include "services/RequestPacer.h"

namespace vantrel {

/// What one activity asks of each service: one or two positions and the UTC days to cover.
struct WeatherRequest {
    std::vector<CodableCoordinate> locations;
    std::string firstDay;  ///< "YYYY-MM-DD"
    std::string lastDay;   ///< "YYYY-MM-DD"
};

/// What became of one request to a weather service.
struct ServiceAnswer {
    enum class Outcome {
        answered,         ///< `series` holds one entry per location asked
        outsideArchive,   ///< the service holds no data for those days (yet)
        refused,          ///< an error status or an answer that does not read; `problem` says
        tooManyRequests,  ///< the service asks us to stop for now
        unreachable,      ///< no answer at all; `problem` says why
        cancelled,
    };
    Outcome outcome = Outcome::unreachable;
    std::vector<HourlySeries> series;
    std::string problem;
};

/// Historical weather and air quality over HTTP from services speaking the Open-Meteo archive
/// and air-quality protocols.
class WeatherClient {
  public:
    static constexpr const char* kDefaultWeatherURL =
        "https://archive-api.open-meteo.com/v1/archive";
    static constexpr const char* kDefaultAirQualityURL =
        "https://air-quality-api.open-meteo.com/v1/air-quality";
    /// Five requests a second at most, the two public hosts together.
    static constexpr std::chrono::milliseconds kPublicServiceInterval{200};

    struct Settings {
        std::string weatherURL = kDefaultWeatherURL;
        std::string airQualityURL = kDefaultAirQualityURL;
        /// Requests to these hosts are paced; others (one's own server) are not.
        std::vector<std::string> pacedHosts = {"archive-api.open-meteo.com",
                                               "air-quality-api.open-meteo.com"};
        std::chrono::milliseconds pacedInterval = kPublicServiceInterval;
        HttpClient::Options http = defaultHttpOptions();

        /// Endpoints from "weatherURL" and "airQualityURL" when set and not empty.
        static Settings fromPreferences(Preferences& preferences);
        static HttpClient::Options defaultHttpOptions();
    };

    explicit WeatherClient(Settings settings, RequestPacer::Sleep sleep = {});

    /// Hourly temperature, humidity, weather code and wind (`kWeatherVariables`).
    ServiceAnswer askWeather(const WeatherRequest& request, const CancellationToken& token);
    /// Hourly US air-quality index (`kAirQualityVariables`).
    ServiceAnswer askAirQuality(const WeatherRequest& request, const CancellationToken& token);

    /// The URL asked of `endpoint`, exposed so that its shape can be checked.
    static std::string requestURL(const std::string& endpoint, const WeatherRequest& request,
                                  std::span<const std::string_view> variables);
    /// The host name of a URL, lower-cased; empty when it has none.
    static std::string hostOf(const std::string& url);

  private:
    ServiceAnswer ask(const std::string& endpoint, const WeatherRequest& request,
                      std::span<const std::string_view> variables, const CancellationToken& token);
    bool isPaced(const std::string& endpoint) const;

    Settings m_settings;
    HttpClient m_http;
    RequestPacer m_pacer;
};

}  // namespace vantrel
