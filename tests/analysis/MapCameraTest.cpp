#include <gtest/gtest.h>

#include "analysis/LocationOnly.h"
#include "analysis/MapCamera.h"
#include "model/ActivityType.h"
#include "model/PersistedRide.h"

namespace vantrel::test {
namespace {

PersistedRide rideOfType(std::optional<ActivityType> type) {
    PersistedRide ride;
    if (type) ride.activityType = std::string(rawValue(*type));
    return ride;
}

PersistedRide withStoredRegion(PersistedRide ride) {
    ride.mapCenterLat = 46.5;
    ride.mapCenterLon = 7.25;
    ride.mapSpanLat = 0.02;
    ride.mapSpanLon = 0.03;
    return ride;
}

TEST(MapCameraTest, IndoorKindsAndActivitiesWithoutARouteAreLocationOnly) {
    for (ActivityType type :
         {ActivityType::indoorCycling, ActivityType::aquaJogging, ActivityType::treadmill,
          ActivityType::airplane, ActivityType::cruiseShip}) {
        EXPECT_TRUE(isLocationOnly(rideOfType(type), 500)) << rawValue(type);
    }
    // A route of two points is a route; a pin alone or nothing is not, whatever the kind.
    EXPECT_FALSE(isLocationOnly(rideOfType(ActivityType::cycling), 2));
    EXPECT_TRUE(isLocationOnly(rideOfType(ActivityType::cycling), 1));
    EXPECT_TRUE(isLocationOnly(rideOfType(ActivityType::cycling), 0));
    // A kind this build does not know is treated as an ordinary outdoor activity.
    PersistedRide unknown;
    unknown.activityType = "kitesurfing-on-mars";
    EXPECT_FALSE(isLocationOnly(unknown, 100));
    EXPECT_FALSE(isLocationOnly(rideOfType(std::nullopt), 100));
}

TEST(MapCameraTest, ALocationOnlyActivityOpensOnItsStoredRegion) {
    std::vector<CodableCoordinate> route{{10, 20}, {11, 21}};
    PersistedRide treadmill = withStoredRegion(rideOfType(ActivityType::treadmill));
    EXPECT_EQ(initialCamera(treadmill, route), (MapCamera{{46.5, 7.25}, 0.02, 0.03}));
    EXPECT_EQ(initialCamera(treadmill, {}), (MapCamera{{46.5, 7.25}, 0.02, 0.03}));

    // A region stored on an outdoor route never wins over the route itself.
    PersistedRide ride = withStoredRegion(rideOfType(ActivityType::cycling));
    std::optional<MapCamera> fitted = initialCamera(ride, route);
    ASSERT_TRUE(fitted);
    EXPECT_DOUBLE_EQ(fitted->center.latitude, 10.5);

    // Half a region is no region: the map falls back to the route, or to its own camera.
    PersistedRide half = rideOfType(ActivityType::treadmill);
    half.mapCenterLat = 46.5;
    half.mapCenterLon = 7.25;
    EXPECT_EQ(initialCamera(half, {}), std::nullopt);
}

TEST(MapCameraTest, ARouteIsFittedWithAMarginAroundIt) {
    PersistedRide ride = rideOfType(ActivityType::cycling);
    std::vector<CodableCoordinate> route{{46.0, 7.0}, {46.2, 7.1}, {46.1, 7.4}};
    std::optional<MapCamera> camera = initialCamera(ride, route);
    ASSERT_TRUE(camera);
    EXPECT_DOUBLE_EQ(camera->center.latitude, 46.1);
    EXPECT_DOUBLE_EQ(camera->center.longitude, 7.2);
    // Wider than the route on every side, so its ends are not drawn on the map's edge.
    EXPECT_GT(camera->spanLat, 0.2);
    EXPECT_GT(camera->spanLon, 0.4);
    // A single pin still gets a visible region rather than a zero-sized one.
    std::optional<MapCamera> pin = initialCamera(ride, {{46.0, 7.0}});
    ASSERT_TRUE(pin);
    EXPECT_GT(pin->spanLat, 0);
    EXPECT_GT(pin->spanLon, 0);
}

}  // namespace
}  // namespace vantrel::test
