#include <gtest/gtest.h>

#include "GeocodingTestWorld.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "services/GeocodingService.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using std::chrono::milliseconds;

std::vector<RoutePoint> routeNear(double lat, double lon, int count) {
    std::vector<RoutePoint> route;
    for (int i = 0; i < count; ++i) {
        RoutePoint p;
        p.coordinate = {lat + i * 0.001, lon};
        p.timestamp = i;
        route.push_back(p);
    }
    return route;
}

class GeocodingRunTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    // A logger of this test's own: its session file lies in this test's folder.
    ScopedSharedLogger logSession;
    test::TempDir dir;
    test::GeocodingTestWorld world;
    std::unique_ptr<RideStore> store = RideStore::open(dir / "store.sqlite");
    CancellationToken token;
    std::vector<GeocodeStatus> statuses;
    std::vector<milliseconds> waits;
    std::function<bool(milliseconds)> onWait = [](milliseconds) { return true; };

    GeocodingService::Context context() {
        return {world.geocoder(), PersistentLogger::shared(),
                [this](const GeocodeStatus& s) { statuses.push_back(s); },
                [this](milliseconds d, const CancellationToken&) {
                    waits.push_back(d);
                    return onWait(d);
                }};
    }

    RideRef addRide(Date date, std::optional<std::string> city, int points = 4) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = date;
        ride->city = std::move(city);
        ride->setRoutePoints(routeNear(40, -105, points));
        store->insert(ride);
        store->save();
        return ride;
    }

    std::vector<std::string> progressTexts() const {
        std::vector<std::string> texts;
        for (const auto& s : statuses) texts.push_back(s.progress);
        return texts;
    }

    std::optional<std::string> storedCity(const RideRef& ride) {
        return RideStore::open(store->path())->fetchByRideID(ride->rideID)->city;
    }
};

TEST_F(GeocodingRunTest, NothingToDoWhenEveryActivityHasALocation) {
    addRide(100, "Boulder");
    EXPECT_EQ(GeocodingService::startGeocoding(*store, false, context(), token), 0);
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0].progress, "Scanning for activities without location…");
    EXPECT_TRUE(statuses[0].isGeocoding);
    EXPECT_EQ(statuses[1].progress, "All activities already have locations.");
    EXPECT_FALSE(statuses[1].isGeocoding);
    EXPECT_EQ(statuses[1].clearAfter, milliseconds(2000));
    EXPECT_TRUE(world.lookups().empty());
}

TEST_F(GeocodingRunTest, NamesMissingNewestFirstAndSkipsEmptyRoutes) {
    auto older = addRide(100, std::nullopt);
    auto located = addRide(200, "Keep Me");
    auto broken = addRide(300, std::nullopt);
    broken->routeData = bytesOf("[]");
    store->save();
    auto newer = addRide(400, std::nullopt);

    EXPECT_EQ(GeocodingService::startGeocoding(*store, false, context(), token), 2);
    EXPECT_EQ(progressTexts(), (std::vector<std::string>{
                                   "Scanning for activities without location…", "Geocoding 1 of 3…",
                                   "Geocoding 2 of 3…", "Done — geocoded 2 rides."}));
    EXPECT_EQ(statuses[2].current, 2);
    EXPECT_EQ(statuses[2].total, 3);
    EXPECT_FALSE(statuses.back().isGeocoding);
    EXPECT_EQ(statuses.back().clearAfter, milliseconds(3000));
    EXPECT_TRUE(statuses.back().reloadSummaries);
    EXPECT_EQ(storedCity(older), "Springfield");
    EXPECT_EQ(storedCity(newer), "Springfield");
    EXPECT_EQ(storedCity(located), "Keep Me");
    EXPECT_FALSE(storedCity(broken));
    EXPECT_NE(test::sessionLogText().find("[INFO] [Geocode] Geocoded 2 ride(s)"),
              std::string::npos);
}

TEST_F(GeocodingRunTest, AbortingKeepsWhatWasDoneAndReportsIt) {
    for (int i = 0; i < 10; ++i) addRide(100 + i, std::nullopt);
    int pauses = 0;
    onWait = [&](milliseconds d) {
        if (d == milliseconds(1000) && ++pauses == 3) token.cancel();
        return !token.isCancelled();
    };
    EXPECT_EQ(GeocodingService::startGeocoding(*store, true, context(), token), 3);
    EXPECT_EQ(statuses.front().progress, "Re-geocoding all activities…");
    EXPECT_EQ(statuses.back().progress, "Done — geocoded 3 rides.");
    EXPECT_EQ(world.lookups().size(), 3u);
    int named = 0;
    for (const auto& ride : RideStore::open(store->path())->allLiveActivities()) {
        named += ride->city.has_value();
    }
    EXPECT_EQ(named, 3);
    EXPECT_NE(test::sessionLogText().find("Geocoded 3 ride(s)"), std::string::npos);
}

TEST_F(GeocodingRunTest, OneActivityCountsSingular) {
    addRide(100, "Old Name");
    GeocodingService::startGeocoding(*store, true, context(), token);
    EXPECT_EQ(statuses.back().progress, "Done — geocoded 1 ride.");
    EXPECT_TRUE(waits.empty());
}

TEST_F(GeocodingRunTest, SelectedActivityShowsItsResult) {
    auto ride = addRide(100, "Old Name");
    EXPECT_EQ(GeocodingService::geocodeSelected(*store, *ride, context(), token), "Springfield");
    EXPECT_EQ(statuses.front().progress, "Geocoding selected activity…");
    EXPECT_EQ(statuses.back().progress, "Location: Springfield");
    EXPECT_TRUE(statuses.back().isGeocoding);
    EXPECT_EQ(statuses.back().clearAfter, milliseconds(2000));
    EXPECT_EQ(storedCity(ride), "Springfield");

    world.town.reset();
    world.county.reset();
    statuses.clear();
    EXPECT_FALSE(GeocodingService::geocodeSelected(*store, *ride, context(), token));
    EXPECT_EQ(statuses.back().progress, "No location found");
    EXPECT_EQ(storedCity(ride), "Springfield");

    ride->routeData.reset();
    statuses.clear();
    EXPECT_FALSE(GeocodingService::geocodeSelected(*store, *ride, context(), token));
    EXPECT_TRUE(statuses.empty());
}

TEST_F(GeocodingRunTest, AbortCancelsAndResets) {
    auto task = std::make_shared<CancellationToken>();
    auto held = task;
    auto status = GeocodingService::abortGeocoding(task);
    EXPECT_TRUE(held->isCancelled());
    EXPECT_FALSE(task);
    EXPECT_EQ(status, GeocodeStatus{});
}

TEST_F(GeocodingRunTest, SetLocationMakesAOnePointRoute) {
    auto withRoute = addRide(100, std::nullopt);
    EXPECT_FALSE(GeocodingService::setLocation(*withRoute, {1, 2}, false, 4, world.geocoder()));

    PersistedRide bare;
    bare.date = 5000;
    EXPECT_TRUE(GeocodingService::setLocation(bare, {46.5, 7.5}, false, 0, world.geocoder()));
    auto route = bare.routePoints();
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0].coordinate, (CodableCoordinate{46.5, 7.5}));
    EXPECT_EQ(route[0].altitude, 0);
    EXPECT_EQ(route[0].timestamp, 5000);
    EXPECT_EQ(bare.city, "Springfield");

    // The picker may move a single point, but never replaces a real route.
    EXPECT_TRUE(GeocodingService::setLocation(bare, {46.6, 7.6}, true, 1, world.geocoder()));
    EXPECT_EQ(bare.routePoints()[0].coordinate.latitude, 46.6);
    EXPECT_FALSE(GeocodingService::setLocation(bare, {46.7, 7.7}, true, 2, world.geocoder()));
}

}  // namespace
}  // namespace vantrel
