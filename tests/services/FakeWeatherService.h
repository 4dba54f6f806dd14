#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/Date.h"
#include "model/Preferences.h"
#include "model/Samples.h"
#include "services/LocalHttpServer.h"
#include "services/WeatherClient.h"

namespace vantrel::test {

/// A weather and air-quality service on 127.0.0.1 speaking the archive and air-quality
/// protocols: it answers every hour of the days asked, at every location asked, with the
/// values of `world` (absent ones as null). `override` may answer a request differently.
class FakeWeatherService {
  public:
    /// The value of `variable` at `location` in the hour starting at `hour`.
    using World = std::function<std::optional<double>(std::string_view variable,
                                                      CodableCoordinate location, Date hour)>;
    using Override = std::function<std::optional<LocalHttpServer::Response>(
        const LocalHttpServer::Request& request)>;

    FakeWeatherService();

    /// Temperature 10 °C + 0.5 per hour of the day, humidity 60 % − 1 per hour, "Mostly Clear"
    /// before noon and "Partly Cloudy" after, wind 8 km/h + 0.5 per hour from 30° per hour,
    /// air quality 30 + the hour.
    static std::optional<double> standardWorld(std::string_view variable,
                                               CodableCoordinate location, Date hour);

    World world = standardWorld;
    Override override;

    std::string weatherURL() const { return m_server.url() + "/v1/archive"; }
    std::string airQualityURL() const { return m_server.url() + "/v1/air-quality"; }
    /// Client settings for this server, without pacing and with short time-outs.
    WeatherClient::Settings settings() const;
    /// Points the preferences' endpoints here, as a user with a server of their own would.
    void configure(Preferences& preferences) const;

    std::vector<LocalHttpServer::Request> requests() const { return m_server.requests(); }
    /// The requests whose path starts with `path` ("/v1/archive" or "/v1/air-quality").
    std::vector<LocalHttpServer::Request> requestsTo(std::string_view path) const;

    /// The answer body the service gives for a request target (path and query).
    std::string answerFor(const std::string& target) const;

  private:
    LocalHttpServer::Response respond(const LocalHttpServer::Request& request) const;

    LocalHttpServer m_server;
};

/// "YYYY-MM-DDTHH:MM:SSZ" as an instant; throws std::invalid_argument for malformed text.
Date utc(const std::string& text);

}  // namespace vantrel::test
