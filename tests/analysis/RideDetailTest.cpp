#include <gtest/gtest.h>

#include <cmath>

#include "analysis/RideAnalysis.h"
#include "analysis/RideDetail.h"
#include "analysis/ScrubberReading.h"
#include "analysis/TestRoutes.h"
#include "import/ActivityImporter.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using test::heartRateAt;
using test::kRideStart;
using test::pointAt;

/// Ten minutes at 5 m/s, a 20-minute stop during which a ferry carries the rider 5 km, then
/// ten more minutes; heart rate every 10 s throughout, also during the stop.
PersistedRide rideWithFerryStop() {
    std::vector<RoutePoint> route;
    for (int i = 0; i <= 60; ++i) route.push_back(pointAt(50.0 * i, kRideStart + 10.0 * i, 400));
    Date resume = kRideStart + 600 + 1200;
    for (int i = 0; i <= 60; ++i) route.push_back(pointAt(8000 + 50.0 * i, resume + 10.0 * i, 420));
    std::vector<HeartRateSample> heartRate;
    for (Date t = kRideStart; t <= route.back().timestamp; t += 10)
        heartRate.push_back(heartRateAt(t, 130));
    PersistedRide ride;
    ride.date = kRideStart;
    ride.setRoutePoints(route);
    ride.setHeartRateSamples(heartRate);
    ride.duration = route.back().timestamp - kRideStart;
    ride.distance = 6000;
    ride.activeTime = 1200;
    ride.averageHeartRate = 130;
    return ride;
}

class RideDetailLoading : public ::testing::Test {
  public:
    test::IsolatedEnvironment environment;
    PersistedRide ride = rideWithFerryStop();
};

TEST_F(RideDetailLoading, RemovesThePauseFromRouteHeartRateSplitsAndRetrace) {
    auto detail = loadRideDetail(ride, UnitSystem::metric, std::nullopt, Preferences::shared());
    EXPECT_EQ(detail.segments.size(), 2u);
    EXPECT_EQ(detail.coordinates.size(), 122u);
    EXPECT_EQ(detail.coordinates.back(), ride.routePoints().back().coordinate);
    EXPECT_DOUBLE_EQ(detail.routePoints.back().timestamp, kRideStart + 1200);
    // Readings taken during the stop are dropped.
    EXPECT_EQ(detail.heartRateSamples.size(), 122u);
    EXPECT_EQ(detail.splitDistance, SplitDistance::kilometer);
    ASSERT_FALSE(detail.splits.empty());
    EXPECT_NEAR(detail.splits.front().pace, 200, 1e-3);
    EXPECT_DOUBLE_EQ(detail.averageSpeed, 5.0);
    ASSERT_TRUE(detail.retraceData);
    EXPECT_DOUBLE_EQ(detail.retraceData->totalMinutes, 20.0);
    EXPECT_EQ(detail.chartTitle, "Heart Rate & Elevation");
    EXPECT_TRUE(detail.chart.dataReady);
}

TEST_F(RideDetailLoading, TheScrubberReadsTheMarkersWaypointInTheMarkersWords) {
    auto detail = loadRideDetail(ride, UnitSystem::metric, std::nullopt, Preferences::shared());
    ScrubberReading reading = readScrubber(detail, 1.0);
    ASSERT_TRUE(reading.waypoint);
    EXPECT_DOUBLE_EQ(reading.waypoint->elapsedMinutes, 20.0);
    EXPECT_EQ(formatScrubberReading(reading, UnitSystem::metric), "130 bpm · 420 m");
    EXPECT_EQ(formatScrubberReading(reading, UnitSystem::imperial), "130 bpm · 1378 ft");
    EXPECT_EQ(formatScrubberReading({}, UnitSystem::metric), "-- bpm");
}

TEST_F(RideDetailLoading, MaxSpeedIgnoresTheFerryBecauseItUsesTheStoredRoute) {
    auto detail = loadRideDetail(ride, UnitSystem::metric, std::nullopt, Preferences::shared());
    EXPECT_NEAR(detail.maxSpeed, 5.0, 1e-3);
    EXPECT_GT(RideAnalysis::maxSpeed(detail.routePoints), 100.0);
}

TEST_F(RideDetailLoading, ActivitiesFromStravaKeepEveryHeartRateReading) {
    ride.stravaActivityId = "123456";
    auto detail = loadRideDetail(ride, UnitSystem::metric, std::nullopt, Preferences::shared());
    EXPECT_EQ(detail.heartRateSamples.size(), ride.heartRateSamples().size());
    EXPECT_LE(detail.heartRateSamples.back().timestamp, kRideStart + 1200);
}

TEST_F(RideDetailLoading, PickedSplitDistanceIsRememberedPerActivity) {
    auto detail = loadRideDetail(ride, UnitSystem::metric, std::nullopt, Preferences::shared());
    pickSplitDistance(detail, ride, SplitDistance::fourHundredMeters, UnitSystem::metric,
                      Preferences::shared());
    EXPECT_EQ(detail.splits.size(), 28u);  // 11 km with the ferry leg
    EXPECT_EQ(loadRideDetail(ride, UnitSystem::imperial, std::nullopt, Preferences::shared())
                  .splitDistance,
              SplitDistance::fourHundredMeters);
    EXPECT_EQ(
        loadRideDetail(PersistedRide{}, UnitSystem::imperial, std::nullopt, Preferences::shared())
            .splitDistance,
        SplitDistance::mile);
}

TEST_F(RideDetailLoading, FewerThanTwoPointsLeaveTheSeriesAsDecoded) {
    PersistedRide indoor;
    indoor.setRoutePoints({pointAt(0, kRideStart + 5)});
    indoor.setHeartRateSamples({heartRateAt(kRideStart + 7000, 120)});
    auto detail = loadRideDetail(indoor, UnitSystem::imperial, std::nullopt, Preferences::shared());
    EXPECT_TRUE(detail.segments.empty());
    EXPECT_EQ(detail.heartRateSamples, indoor.heartRateSamples());
    EXPECT_EQ(detail.maxSpeed, 0);
    EXPECT_FALSE(detail.retraceData);
    EXPECT_TRUE(detail.splits.empty());
    EXPECT_EQ(detail.averagePace, std::nullopt);
}

// Real recordings: the splits, the retrace distance and the active time must tell one story.
class CorpusDetail : public ::testing::TestWithParam<const char*> {
  public:
    test::IsolatedEnvironment environment;
};

TEST_P(CorpusDetail, SplitsRetraceAndSegmentsAgree) {
    auto bytes = test::readFileBytes(test::corpusFile(GetParam()));
    PersistedRide ride = importActivityFile(bytes, GetParam(), std::nullopt);
    auto detail = loadRideDetail(ride, UnitSystem::metric, std::nullopt, Preferences::shared());
    ASSERT_TRUE(detail.retraceData);
    const auto& waypoints = detail.retraceData->waypoints;
    double activeSeconds = RideAnalysis::activeTime(detail.segments);
    EXPECT_NEAR(detail.retraceData->totalMinutes * 60, activeSeconds, 1e-6);

    double metres = waypoints.back().cumulativeMeters;
    auto fullSplits = static_cast<std::size_t>(std::floor(metres / 1000.0));
    double remainder = metres - 1000.0 * static_cast<double>(fullSplits);
    EXPECT_EQ(detail.splits.size(), fullSplits + (remainder >= 100 ? 1 : 0));
    double fullTime = 0;
    for (std::size_t i = 0; i < fullSplits; ++i) fullTime += detail.splits[i].pace;
    EXPECT_LE(fullTime, activeSeconds + 1e-6);
    EXPECT_GT(detail.maxSpeed, 0);
    EXPECT_LE(detail.chart.hrPlot.size(), 150u);
}

INSTANTIATE_TEST_SUITE_P(Recordings, CorpusDetail,
                         ::testing::Values("sportslib__strava.gpx",
                                           "fitparse__garmin-edge-500-activity.fit",
                                           "togeojson__garmin-connect-run.gpx"));

}  // namespace
}  // namespace vantrel
