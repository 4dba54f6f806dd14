#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/RideRetraceData.h"
#include "analysis/TestRoutes.h"

namespace vantrel {
namespace {

using test::heartRateAt;
using test::kRideStart;
using test::pointAt;

TEST(RetraceBuild, WaypointsCarryElapsedMinutesDistanceAndAltitude) {
    EXPECT_TRUE(RideRetraceData::build({}, {}, kRideStart).waypoints.empty());
    std::vector<RoutePoint> route{pointAt(0, kRideStart - 30, 5), pointAt(100, kRideStart + 60, 7),
                                  pointAt(300, kRideStart + 180, 9)};
    auto data = RideRetraceData::build(route, {}, kRideStart);
    ASSERT_EQ(data.waypoints.size(), 3u);
    EXPECT_DOUBLE_EQ(data.waypoints[0].elapsedMinutes, -0.5);
    EXPECT_NEAR(data.waypoints[2].cumulativeMeters, 300, 1e-6);
    EXPECT_EQ(data.waypoints[1].altitude, 7);
    EXPECT_EQ(data.waypoints[1].heartRate, std::nullopt);
    EXPECT_DOUBLE_EQ(data.totalMinutes, 3.0);
}

TEST(RetraceBuild, NearestHeartRateWithinThirtySecondsEarlierWinsATie) {
    std::vector<RoutePoint> route{pointAt(0, kRideStart), pointAt(10, kRideStart + 100),
                                  pointAt(20, kRideStart + 200)};
    std::vector<HeartRateSample> samples{
        heartRateAt(kRideStart + 29.9, 101),  // 29.9 s after the first point
        heartRateAt(kRideStart + 90, 110),    // 10 s before the second point
        heartRateAt(kRideStart + 110, 120),   // 10 s after it
        heartRateAt(kRideStart + 230, 130)};  // exactly 30 s after the third
    auto data = RideRetraceData::build(route, samples, kRideStart);
    EXPECT_EQ(data.waypoints[0].heartRate, 101);
    EXPECT_EQ(data.waypoints[1].heartRate, 110);
    EXPECT_EQ(data.waypoints[2].heartRate, std::nullopt);

    std::reverse(samples.begin(), samples.end());
    EXPECT_EQ(RideRetraceData::build(route, samples, kRideStart).waypoints, data.waypoints);
}

class RetraceLookup : public ::testing::Test {
  protected:
    RideRetraceData data = RideRetraceData::build(
        {pointAt(0, kRideStart, 100), pointAt(600, kRideStart + 60, 110),
         pointAt(1200, kRideStart + 120, 130)},
        {heartRateAt(kRideStart, 100), heartRateAt(kRideStart + 60, 150)}, kRideStart);
};

TEST_F(RetraceLookup, ProgressIsClampedToTheEnds) {
    EXPECT_EQ(data.waypointAt(0, data.totalMinutes), data.waypoints.front());
    EXPECT_EQ(data.waypointAt(1, data.totalMinutes), data.waypoints.back());
    EXPECT_EQ(data.waypointAt(1.5, data.totalMinutes), data.waypoints.back());
    EXPECT_EQ(data.waypointAt(-2, data.totalMinutes), data.waypoints.front());
    EXPECT_EQ(data.waypointAt(0.5, data.totalMinutes), data.waypoints[1]);
}

TEST_F(RetraceLookup, InterpolatesPositionButTakesHeartRateWhole) {
    auto quarter = data.waypointAt(0.2, data.totalMinutes);
    ASSERT_TRUE(quarter);
    EXPECT_DOUBLE_EQ(quarter->elapsedMinutes, 0.4);
    EXPECT_NEAR(quarter->cumulativeMeters, 240, 1e-6);
    EXPECT_DOUBLE_EQ(quarter->altitude, 104);
    EXPECT_EQ(quarter->heartRate, 100);
    EXPECT_GT(quarter->coordinate.latitude, data.waypoints[0].coordinate.latitude);

    // Half-way between two waypoints the later one's heart rate is taken.
    auto middle = data.waypointAt(0.75, data.totalMinutes);
    EXPECT_EQ(middle->heartRate, std::nullopt);
    auto early = data.waypointAt(0.74, data.totalMinutes);
    EXPECT_EQ(early->heartRate, 150);
}

TEST(RetraceLookupEdges, EmptyAndSingleWaypoint) {
    EXPECT_EQ(RideRetraceData{}.waypointAt(0.5, 10), std::nullopt);
    auto single = RideRetraceData::build({pointAt(0, kRideStart + 60)}, {}, kRideStart);
    EXPECT_EQ(single.waypointAt(0.9, single.totalMinutes), single.waypoints.front());
}

TEST(RetraceLookupEdges, LongRoutesAgreeWithAPlainScan) {
    auto data = RideRetraceData::build(test::steadyRoute(5000, 1, 3), {}, kRideStart);
    for (double progress = 0; progress <= 1; progress += 0.0137) {
        double target = data.totalMinutes * progress;
        auto after = std::find_if(data.waypoints.begin(), data.waypoints.end(),
                                  [&](const auto& w) { return w.elapsedMinutes > target; });
        auto waypoint = data.waypointAt(progress, data.totalMinutes);
        ASSERT_TRUE(waypoint);
        ASSERT_LE((after - 1)->elapsedMinutes, waypoint->elapsedMinutes);
        ASSERT_NEAR(waypoint->cumulativeMeters, target * 60 * 3, 1e-3);
    }
}

}  // namespace
}  // namespace vantrel
