#include <gtest/gtest.h>

#include "cli/CliRunner.h"
#include "model/Preferences.h"
#include "model/RideStore.h"
#include "model/WeatherSnapshot.h"
#include "services/FakeWeatherService.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

using test::utc;
using Response = test::LocalHttpServer::Response;

class WeatherCommandTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment m_environment;
    std::filesystem::path m_storeFile = m_environment.root() / "store.sqlite";
    test::FakeWeatherService m_service;

    void SetUp() override { m_service.configure(Preferences::shared()); }

    Result run(std::vector<std::string> args) { return runOnStore(m_storeFile, std::move(args)); }

    RideRef addRide(const std::string& day, bool withRoute = true) {
        auto store = RideStore::open(m_storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->date = utc(day + "T09:00:00Z");
        if (withRoute) {
            std::vector<RoutePoint> route(2);
            route[0].coordinate = route[1].coordinate = {47.37, 8.54};
            route[0].timestamp = ride->date;
            route[1].timestamp = ride->date + 5400;
            ride->setRoutePoints(route);
        }
        store->insert(ride);
        store->save();
        return ride;
    }

    std::optional<WeatherSnapshot> startWeather(const RideRef& ride) {
        return RideStore::open(m_storeFile)->fetchByRideID(ride->rideID)->startWeather();
    }
};

TEST_F(WeatherCommandTest, MissingThenAgainAskingNothing) {
    auto first = addRide("2024-05-01");
    auto second = addRide("2024-05-02");
    auto fetched = run({"weather", "--missing"});
    EXPECT_EQ(fetched.status, 0) << fetched.err;
    EXPECT_EQ(fetched.out, "Done — weather for 2 activities, 0 with no data yet, 0 failed.\n");
    ASSERT_TRUE(startWeather(first));
    EXPECT_DOUBLE_EQ(startWeather(first)->temperatureCelsius, 14.5);
    EXPECT_TRUE(startWeather(second));

    auto again = run({"weather", "--missing"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "All activities with a route already have weather.\n");
    EXPECT_EQ(m_service.requests().size(), 4u);

    auto all = run({"weather", "--all"});
    EXPECT_EQ(all.out, "Done — weather for 2 activities, 0 with no data yet, 0 failed.\n");
    EXPECT_EQ(m_service.requests().size(), 8u);
}

TEST_F(WeatherCommandTest, ChosenActivitiesAndArgumentsCheckedFirst) {
    auto chosen = addRide("2024-05-01");
    auto other = addRide("2024-05-02");
    auto routeless = addRide("2024-05-03", false);
    EXPECT_EQ(run({"weather"}).status, 1);
    EXPECT_EQ(run({"weather", "--missing", "--all"}).status, 1);
    EXPECT_EQ(run({"weather", "--missing", chosen->rideID.toString()}).status, 1);
    auto bogus = run({"weather", "--bogus"});
    EXPECT_EQ(bogus.status, 1);
    EXPECT_NE(bogus.err.find("unknown option --bogus"), std::string::npos);
    auto unknown = run({"weather", chosen->rideID.toString(), "nonsense"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("not an activity ID: nonsense"), std::string::npos);
    EXPECT_TRUE(m_service.requests().empty());

    auto alone = run({"weather", routeless->rideID.toString()});
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.out, "No activities with a route to fetch weather for.\n");

    auto picked = run({"weather", chosen->rideID.toString(), routeless->rideID.toString()});
    EXPECT_EQ(picked.status, 0) << picked.err;
    EXPECT_TRUE(startWeather(chosen));
    EXPECT_FALSE(startWeather(other));
}

TEST_F(WeatherCommandTest, UnreachableServiceEndsWithStatusTwo) {
    for (const char* day : {"2024-05-01", "2024-05-02", "2024-05-03", "2024-05-04"}) addRide(day);
    Preferences::shared().setString(kWeatherURLKey, "http://127.0.0.1:1/v1/archive");
    auto result = run({"weather", "--missing"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "Done — weather for 0 activities, 0 with no data yet, 3 failed.\n");
    EXPECT_NE(result.err.find("vantrel-cli: The weather service cannot be reached: "),
              std::string::npos)
        << result.err;
}

TEST_F(WeatherCommandTest, BadAnswersAreWarnedAboutAndFailTheRun) {
    auto ride = addRide("2024-05-01");
    m_service.override =
        [](const test::LocalHttpServer::Request& request) -> std::optional<Response> {
        if (request.target.rfind("/v1/archive", 0) == 0) return Response{200, "[]", {}};
        return std::nullopt;
    };
    auto result = run({"weather", "--missing"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "Done — weather for 0 activities, 0 with no data yet, 1 failed.\n");
    EXPECT_NE(result.err.find("warning: Activity " + ride->rideID.toString()), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("0 locations instead of 1"), std::string::npos);
    EXPECT_FALSE(startWeather(ride));
}

}  // namespace
}  // namespace vantrel::cli
