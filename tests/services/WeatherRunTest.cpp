#include <gtest/gtest.h>

#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "model/WeatherSnapshot.h"
#include "services/FakeWeatherService.h"
#include "services/WeatherAtInstant.h"
#include "services/WeatherService.h"
#include "support/PgTestDatabase.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using test::utc;
using Response = test::LocalHttpServer::Response;
using Scope = WeatherService::Scope;

std::vector<RoutePoint> routeBetween(Date start, Date end, CodableCoordinate from,
                                     CodableCoordinate to) {
    std::vector<RoutePoint> route;
    for (int i = 0; i <= 10; ++i) {
        double f = i / 10.0;
        RoutePoint point;
        point.coordinate = {from.latitude + (to.latitude - from.latitude) * f,
                            from.longitude + (to.longitude - from.longitude) * f};
        point.timestamp = start + (end - start) * f;
        route.push_back(point);
    }
    return route;
}

constexpr CodableCoordinate kZurich{47.3769, 8.5417};

class WeatherRunTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment m_environment;
    ScopedSharedLogger m_logSession;
    test::TempDir m_dir;
    test::FakeWeatherService m_service;
    std::unique_ptr<RideStore> m_store = RideStore::open(m_dir / "store.sqlite");
    CancellationToken m_token;
    std::vector<WeatherStatus> m_statuses;
    std::vector<std::string> m_warnings;
    std::unique_ptr<WeatherClient> m_client = std::make_unique<WeatherClient>(m_service.settings());

    WeatherService::RunSummary run(Scope scope = Scope::missing,
                                   const std::vector<std::int64_t>& selection = {}) {
        WeatherService::Context context{
            *m_client, [this](const WeatherStatus& s) { m_statuses.push_back(s); },
            [this](const std::string& w) { m_warnings.push_back(w); }, PersistentLogger::shared()};
        return WeatherService::fetchWeather(*m_store, scope, selection, context, m_token);
    }

    RideRef addRide(Date start, Date end, CodableCoordinate from = kZurich,
                    std::optional<CodableCoordinate> to = std::nullopt) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = start;
        ride->duration = end - start;
        ride->setRoutePoints(routeBetween(start, end, from, to.value_or(from)));
        m_store->insert(ride);
        m_store->save();
        return ride;
    }

    /// The record as another connection reads it from the file.
    RideRef stored(const RideRef& ride) {
        return RideStore::open(m_store->path())->fetchByRideID(ride->rideID);
    }

    void useUnreachableWeatherService() {
        auto settings = m_service.settings();
        settings.weatherURL = "http://127.0.0.1:1/v1/archive";
        m_client = std::make_unique<WeatherClient>(settings);
    }
};

TEST_F(WeatherRunTest, FillsBothEndsFromOneRequestToEachServiceThenAsksNothingMore) {
    // 14:30 to 16:45 UTC: half past and a quarter to the hour.
    auto ride = addRide(utc("2024-05-01T14:30:00Z"), utc("2024-05-01T16:45:00Z"));
    auto summary = run();
    EXPECT_EQ(summary.withWeather, 1);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_FALSE(summary.stopReason);

    auto start = stored(ride)->startWeather();
    auto end = stored(ride)->endWeather();
    ASSERT_TRUE(start && end);
    EXPECT_DOUBLE_EQ(start->temperatureCelsius, 17.25);  // between 17.0 and 17.5
    EXPECT_EQ(start->humidity, 46);                      // 45.5 rounded
    EXPECT_EQ(start->weatherCode, 2);
    EXPECT_DOUBLE_EQ(start->windSpeedKmh, 15.25);
    EXPECT_EQ(start->windDirectionDegrees, 75);  // between 60° and 90°
    EXPECT_EQ(start->aqi, 45);                   // the later hour's at half past
    EXPECT_DOUBLE_EQ(end->temperatureCelsius, 18.375);
    EXPECT_EQ(end->aqi, 47);  // 17:00 is nearer than 16:00

    auto weather = m_service.requestsTo("/v1/archive");
    auto air = m_service.requestsTo("/v1/air-quality");
    ASSERT_EQ(weather.size(), 1u);
    ASSERT_EQ(air.size(), 1u);
    using test::LocalHttpServer;
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "latitude"), "47.377");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "longitude"), "8.542");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "start_date"), "2024-05-01");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "end_date"), "2024-05-01");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "hourly"),
              "temperature_2m,relative_humidity_2m,weather_code,wind_speed_10m,"
              "wind_direction_10m");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "timezone"), "GMT");
    EXPECT_EQ(LocalHttpServer::queryValue(air[0].target, "hourly"), "us_aqi");
    EXPECT_EQ(weather[0].userAgent.rfind("Vantrel/", 0), 0u);
    EXPECT_EQ(m_statuses.back().progress,
              "Done — weather for 1 activity, 0 with no data yet, 0 failed.");
    EXPECT_TRUE(m_statuses.back().changed);

    // Every activity has weather now: the next run for the missing ones asks nothing.
    m_statuses.clear();
    EXPECT_EQ(run().withWeather, 0);
    EXPECT_EQ(m_service.requests().size(), 2u);
    EXPECT_EQ(m_statuses.back().progress, "All activities with a route already have weather.");
    EXPECT_FALSE(m_statuses.back().isRunning);
}

TEST_F(WeatherRunTest, AnEndJustBeforeMidnightAsksForTheNextDayToo) {
    // 22:10 to 23:40 UTC: the end lies between 23:00 and the next day's 00:00.
    auto late = addRide(utc("2024-12-31T22:10:00Z"), utc("2024-12-31T23:40:00Z"));
    // Over midnight: the end is on the next UTC day.
    auto overnight = addRide(utc("2024-06-01T23:30:00Z"), utc("2024-06-02T01:15:00Z"));
    EXPECT_EQ(run().withWeather, 2);

    auto end = stored(late)->endWeather();
    ASSERT_TRUE(end);
    // 23:00 is 21.5 °C, the next 00:00 10 °C; two thirds of the way down.
    EXPECT_NEAR(end->temperatureCelsius, 21.5 + (10 - 21.5) * (40.0 / 60), 1e-9);
    EXPECT_EQ(end->weatherCode, 1);  // the next day's midnight is nearer
    auto overnightEnd = stored(overnight)->endWeather();
    ASSERT_TRUE(overnightEnd);
    EXPECT_DOUBLE_EQ(overnightEnd->temperatureCelsius, 10.625);

    auto weather = m_service.requestsTo("/v1/archive");
    ASSERT_EQ(weather.size(), 2u);
    using test::LocalHttpServer;
    // Newest first: the December activity, then the June one.
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "start_date"), "2024-12-31");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[0].target, "end_date"), "2025-01-01");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[1].target, "start_date"), "2024-06-01");
    EXPECT_EQ(LocalHttpServer::queryValue(weather[1].target, "end_date"), "2024-06-02");
}

TEST_F(WeatherRunTest, DistantEndsAreAskedAsTwoPlacesInOneRequest) {
    m_service.world = [](std::string_view variable, CodableCoordinate at, Date hour) {
        if (variable == "temperature_2m") return std::optional<double>(at.latitude);
        return test::FakeWeatherService::standardWorld(variable, at, hour);
    };
    auto ride = addRide(utc("2024-05-01T08:00:00Z"), utc("2024-05-01T12:00:00Z"), kZurich,
                        CodableCoordinate{46.0, 8.0});
    EXPECT_EQ(run().withWeather, 1);
    auto weather = m_service.requestsTo("/v1/archive");
    ASSERT_EQ(weather.size(), 1u);
    EXPECT_EQ(test::LocalHttpServer::queryValue(weather[0].target, "latitude"), "47.377,46.000");
    EXPECT_DOUBLE_EQ(stored(ride)->startWeather()->temperatureCelsius, 47.377);
    EXPECT_DOUBLE_EQ(stored(ride)->endWeather()->temperatureCelsius, 46.0);
    EXPECT_TRUE(stored(ride)->endWeather()->aqi);
}

TEST_F(WeatherRunTest, HoursWithoutDataKeepWhatIsStored) {
    // The start hour has data, the end hours none (the archive lags behind by days).
    m_service.world = [](std::string_view variable, CodableCoordinate at, Date hour) {
        if (hour >= utc("2024-05-01T16:00:00Z")) return std::optional<double>();
        return test::FakeWeatherService::standardWorld(variable, at, hour);
    };
    auto partly = addRide(utc("2024-05-01T14:00:00Z"), utc("2024-05-01T16:30:00Z"));
    auto none = addRide(utc("2024-05-01T17:00:00Z"), utc("2024-05-01T18:00:00Z"));
    WeatherSnapshot old{3, 61, 80, 4, 90, std::nullopt};
    none->endWeatherData = encodeWeather(old);
    m_store->save();

    auto summary = run();
    EXPECT_EQ(summary.withWeather, 1);
    EXPECT_EQ(summary.noDataYet, 1);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_TRUE(stored(partly)->startWeather());
    EXPECT_FALSE(stored(partly)->endWeather());
    // No new snapshot: the stored one stays.
    EXPECT_EQ(stored(none)->endWeather(), old);
    EXPECT_FALSE(stored(none)->startWeather());
    EXPECT_TRUE(m_warnings.empty());
    // The air-quality service is only asked when there is weather to add it to.
    EXPECT_EQ(m_service.requestsTo("/v1/air-quality").size(), 1u);
}

TEST_F(WeatherRunTest, AirQualityDownStillGivesWeather) {
    m_service.override =
        [](const test::LocalHttpServer::Request& request) -> std::optional<Response> {
        if (request.target.rfind("/v1/air-quality", 0) == 0) return Response{503, "busy", {}};
        return std::nullopt;
    };
    auto ride = addRide(utc("2024-05-01T14:00:00Z"), utc("2024-05-01T15:00:00Z"));
    auto summary = run();
    EXPECT_EQ(summary.withWeather, 1);
    ASSERT_TRUE(stored(ride)->startWeather());
    EXPECT_FALSE(stored(ride)->startWeather()->aqi);
    ASSERT_EQ(m_warnings.size(), 1u);
    EXPECT_NE(m_warnings[0].find("air quality: HTTP status 503"), std::string::npos);

    // Unreachable three times in a row, it is not asked again during the run.
    auto settings = m_service.settings();
    settings.airQualityURL = "http://127.0.0.1:1/v1/air-quality";
    m_client = std::make_unique<WeatherClient>(settings);
    for (int day = 2; day <= 6; ++day) {
        std::string date = "2024-05-0" + std::to_string(day);
        addRide(utc(date + "T10:00:00Z"), utc(date + "T11:00:00Z"));
    }
    summary = run(Scope::missing);
    EXPECT_EQ(summary.withWeather, 5);
    EXPECT_FALSE(summary.stopReason);
    EXPECT_NE(test::sessionLogText().find("not asked again"), std::string::npos);
}

TEST_F(WeatherRunTest, ThreeConnectionFailuresInARowEndTheRunAndChangeNothing) {
    WeatherSnapshot old{3, 61, 80, 4, 90, 20};
    std::vector<RideRef> rides;
    for (int day = 1; day <= 5; ++day) {
        std::string date = "2024-05-0" + std::to_string(day);
        rides.push_back(addRide(utc(date + "T10:00:00Z"), utc(date + "T11:00:00Z")));
        rides.back()->startWeatherData = encodeWeather(old);
    }
    m_store->save();
    useUnreachableWeatherService();
    auto summary = run(Scope::all);
    EXPECT_EQ(summary.failed, 3);
    ASSERT_TRUE(summary.stopReason);
    EXPECT_EQ(summary.stopReason->rfind("The weather service cannot be reached: ", 0), 0u)
        << *summary.stopReason;
    EXPECT_NE(summary.stopReason->find("127.0.0.1"), std::string::npos);
    EXPECT_EQ(m_statuses.back().progress, *summary.stopReason);
    EXPECT_EQ(m_statuses.back().current, 3);
    for (const auto& ride : RideStore::open(m_store->path())->allRecords(true)) {
        EXPECT_EQ(ride->startWeather(), old);
        EXPECT_FALSE(ride->endWeatherData);
    }
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Weather] The weather service cannot be reached"),
              std::string::npos)
        << log;
}

TEST_F(WeatherRunTest, BadAnswersAreLoggedWithTheActivityAndTheRunGoesOn) {
    int answered = 0;
    m_service.override =
        [&](const test::LocalHttpServer::Request& request) -> std::optional<Response> {
        if (request.target.rfind("/v1/archive", 0) != 0) return std::nullopt;
        switch (answered++) {
            case 0:
                return Response{200, "<html>not json</html>", {}};
            case 1:
                return Response{500, R"({"error":true,"reason":"Internal"})", {}};
            case 2:
                return Response{200, R"({"hourly":{"time":["2024-05-01T10:00"]}})", {}};
            default:
                return std::nullopt;
        }
    };
    std::vector<RideRef> rides;
    for (int day = 4; day >= 1; --day) {
        std::string date = "2024-05-0" + std::to_string(day);
        rides.push_back(addRide(utc(date + "T10:00:00Z"), utc(date + "T11:00:00Z")));
    }
    auto summary = run();
    EXPECT_EQ(summary.failed, 3);
    EXPECT_EQ(summary.withWeather, 1);
    EXPECT_TRUE(stored(rides[3])->startWeather());
    ASSERT_EQ(m_warnings.size(), 3u);
    EXPECT_NE(m_warnings[0].find(rides[0]->rideID.toString()), std::string::npos);
    EXPECT_NE(m_warnings[0].find("not valid JSON"), std::string::npos);
    EXPECT_NE(m_warnings[1].find("HTTP status 500: Internal"), std::string::npos);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[WARN] [Weather] Activity " + rides[2]->rideID.toString() +
                       " of 2024-05-02T10:00:00Z: the answer has no temperature_2m"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[INFO] [Weather] Fetched weather for 1 activity (0 with no data yet, "
                       "3 failed)"),
              std::string::npos);
}

TEST_F(WeatherRunTest, DaysOutsideTheArchiveAreNoDataAndTooManyRequestsStopsTheRun) {
    m_service.override =
        [](const test::LocalHttpServer::Request& request) -> std::optional<Response> {
        if (request.target.find("2030-") != std::string::npos) {
            return Response{400,
                            R"({"error":true,"reason":"Parameter 'start_date' is out of allowed )"
                            R"(range from 1940-01-01 to 2029-12-31"})",
                            {}};
        }
        return Response{429, R"({"error":true,"reason":"Daily API request limit exceeded"})", {}};
    };
    addRide(utc("2030-05-01T10:00:00Z"), utc("2030-05-01T11:00:00Z"));
    addRide(utc("2024-05-01T10:00:00Z"), utc("2024-05-01T11:00:00Z"));
    addRide(utc("2023-05-01T10:00:00Z"), utc("2023-05-01T11:00:00Z"));
    auto summary = run();
    EXPECT_EQ(summary.noDataYet, 1);
    EXPECT_EQ(summary.failed, 1);
    ASSERT_TRUE(summary.stopReason);
    EXPECT_NE(summary.stopReason->find("Daily API request limit exceeded"), std::string::npos);
    EXPECT_EQ(m_service.requests().size(), 2u);
}

TEST_F(WeatherRunTest, OnlyActivitiesWithARouteAndOnlyTheSelectedOnes) {
    auto withoutRoute = std::make_shared<PersistedRide>();
    withoutRoute->date = utc("2024-05-03T10:00:00Z");
    m_store->insert(withoutRoute);
    auto first = addRide(utc("2024-05-01T10:00:00Z"), utc("2024-05-01T11:00:00Z"));
    auto second = addRide(utc("2024-05-02T10:00:00Z"), utc("2024-05-02T11:00:00Z"));

    auto summary = run(Scope::selected, {withoutRoute->objectID});
    EXPECT_EQ(summary.withWeather + summary.failed + summary.noDataYet, 0);
    EXPECT_EQ(m_statuses.back().progress, "No activities with a route to fetch weather for.");
    EXPECT_TRUE(m_service.requests().empty());

    summary = run(Scope::selected, {first->objectID, withoutRoute->objectID});
    EXPECT_EQ(summary.withWeather, 1);
    EXPECT_TRUE(stored(first)->startWeather());
    EXPECT_FALSE(stored(second)->startWeather());
    EXPECT_FALSE(stored(withoutRoute)->startWeather());
    EXPECT_EQ(m_statuses.back().total, 1);
}

TEST_F(WeatherRunTest, ACancelledRunKeepsNothingOfTheActivityUnderWay) {
    auto ride = addRide(utc("2024-05-01T10:00:00Z"), utc("2024-05-01T11:00:00Z"));
    // The weather answers; the air-quality request is under way when the user aborts.
    m_service.override =
        [&](const test::LocalHttpServer::Request& request) -> std::optional<Response> {
        if (request.target.rfind("/v1/air-quality", 0) != 0) return std::nullopt;
        m_token.cancel();
        return Response{200, m_service.answerFor(request.target), std::chrono::seconds(8)};
    };
    // The transfer under way is broken off rather than waited for.
    auto started = std::chrono::steady_clock::now();
    auto summary = run();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.withWeather, 0);
    EXPECT_FALSE(stored(ride)->startWeatherData);
    EXPECT_FALSE(m_statuses.back().isRunning);
}

TEST_F(WeatherRunTest, AFailedSaveEndsTheRunAndSaysSo) {
    addRide(utc("2024-05-01T10:00:00Z"), utc("2024-05-01T11:00:00Z"));
    addRide(utc("2024-04-01T10:00:00Z"), utc("2024-04-01T11:00:00Z"));
    test::executeSql(m_store->path(),
                     "CREATE TRIGGER refuse BEFORE UPDATE ON PersistedRide "
                     "BEGIN SELECT RAISE(ABORT, 'disk says no'); END");
    auto summary = run();
    ASSERT_TRUE(summary.stopReason);
    EXPECT_NE(summary.stopReason->find("The weather could not be saved"), std::string::npos);
    EXPECT_NE(summary.stopReason->find("disk says no"), std::string::npos);
    // Whatever was found and not saved counts as failed, not as weather.
    EXPECT_EQ(summary.withWeather, 0);
    EXPECT_EQ(summary.failed, 2);
    for (const auto& other : RideStore::open(m_store->path())->allRecords(true)) {
        EXPECT_FALSE(other->startWeatherData);
    }
    EXPECT_EQ(m_statuses.back().progress, *summary.stopReason);
}

TEST(WeatherServerStoreTest, ARunSavesThroughAServerStoreLikeAnyEdit) {
    if (!test::PgTestDatabase::available()) GTEST_SKIP() << test::PgTestDatabase::skipReason();
    test::IsolatedEnvironment environment;
    ScopedSharedLogger logSession;
    test::PgTestDatabase database;
    test::FakeWeatherService service;
    auto store = RideStore::open(database.url());
    std::vector<RideRef> rides;
    for (const char* day : {"2024-05-01", "2024-05-02"}) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = utc(std::string(day) + "T10:00:00Z");
        ride->setRoutePoints(routeBetween(ride->date, ride->date + 3600, kZurich, kZurich));
        ride->notes = "kept";
        store->insert(ride);
        rides.push_back(ride);
    }
    store->insert(std::make_shared<PersistedRide>());  // no route: not asked about
    store->save();
    WeatherClient client(service.settings());
    CancellationToken token;
    auto summary =
        WeatherService::fetchWeather(*store, WeatherService::Scope::missing, {},
                                     {client, {}, {}, PersistentLogger::shared()}, token);
    EXPECT_EQ(summary.withWeather, 2);
    auto other = RideStore::open(database.url());
    for (const auto& ride : rides) {
        auto stored = other->fetchByRideID(ride->rideID);
        EXPECT_TRUE(stored->startWeather() && stored->endWeather());
        EXPECT_EQ(stored->notes, "kept");
    }
    EXPECT_EQ(WeatherService::fetchWeather(*store, WeatherService::Scope::missing, {},
                                           {client, {}, {}, PersistentLogger::shared()}, token)
                  .withWeather,
              0);
    EXPECT_EQ(service.requests().size(), 4u);
}

TEST(WeatherClientTest, PacesOnlyThePublicHostsAndTakesEndpointsFromPreferences) {
    test::IsolatedEnvironment environment;
    EXPECT_EQ(WeatherClient::hostOf("https://Archive-API.open-meteo.com/v1/archive?x=1"),
              "archive-api.open-meteo.com");
    EXPECT_EQ(WeatherClient::hostOf("not a url"), "");
    auto defaults = WeatherClient::Settings::fromPreferences(Preferences::shared());
    EXPECT_EQ(defaults.weatherURL, WeatherClient::kDefaultWeatherURL);
    EXPECT_EQ(defaults.airQualityURL, WeatherClient::kDefaultAirQualityURL);
    test::FakeWeatherService service;
    service.configure(Preferences::shared());
    auto own = WeatherClient::Settings::fromPreferences(Preferences::shared());
    EXPECT_EQ(own.weatherURL, service.weatherURL());

    WeatherRequest request{{{1, 2}}, "2024-05-01", "2024-05-01"};
    EXPECT_EQ(WeatherClient::requestURL("https://h/x?apikey=k", request, kAirQualityVariables),
              "https://h/x?apikey=k&latitude=1.000&longitude=2.000&start_date=2024-05-01&"
              "end_date=2024-05-01&hourly=us_aqi&timezone=GMT");

    // The local server stands in for a public host: its requests are spaced, others' not.
    std::vector<RequestPacer::Clock::duration> sleeps;
    auto record = [&](RequestPacer::Clock::duration d) { sleeps.push_back(d); };
    CancellationToken token;
    WeatherClient unpaced(service.settings(), record);
    for (int i = 0; i < 3; ++i) unpaced.askAirQuality(request, token);
    EXPECT_TRUE(sleeps.empty());
    auto paced = service.settings();
    paced.pacedHosts = {"127.0.0.1"};
    WeatherClient pacedClient(paced, record);
    for (int i = 0; i < 3; ++i) {
        pacedClient.askWeather(request, token);
        pacedClient.askAirQuality(request, token);
    }
    ASSERT_EQ(sleeps.size(), 5u);  // every request after the first, both services together
    for (auto sleep : sleeps) EXPECT_LE(sleep, WeatherClient::kPublicServiceInterval);
}

}  // namespace
}  // namespace vantrel
