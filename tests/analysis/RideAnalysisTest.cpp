#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "analysis/GeodesicDistance.h"
#include "analysis/RideAnalysis.h"
#include "analysis/TestRoutes.h"
#include "model/Preferences.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using namespace RideAnalysis;
using test::kRideStart;
using test::pointAt;

std::vector<RoutePoint> routeWithTimes(const std::vector<double>& seconds) {
    std::vector<RoutePoint> route;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        route.push_back(pointAt(10.0 * static_cast<double>(i), kRideStart + seconds[i]));
    }
    return route;
}

TEST(ActiveSegments, SplitOnlyAtGapsLongerThanNinetySeconds) {
    EXPECT_TRUE(activeSegments({}).empty());
    EXPECT_EQ(activeSegments(routeWithTimes({0})),
              (std::vector<ActiveSegment>{{kRideStart, kRideStart}}));
    EXPECT_EQ(activeSegments(routeWithTimes({0, 90, 180})).size(), 1u);
    auto split = activeSegments(routeWithTimes({0, 10, 100.1, 110}));
    EXPECT_EQ(split, (std::vector<ActiveSegment>{{kRideStart, kRideStart + 10},
                                                 {kRideStart + 100.1, kRideStart + 110}}));
    // Timestamps running backwards are not repaired and never split.
    EXPECT_EQ(activeSegments(routeWithTimes({0, 500, 20})).size(), 2u);
    EXPECT_EQ(activeSegments(routeWithTimes({500, 0})).size(), 1u);
}

// Reference for the offset exactly as defined: walk the segments in order.
std::optional<double> walkedOffset(Date t, const std::vector<ActiveSegment>& segments) {
    double accumulated = 0;
    for (const auto& segment : segments) {
        if (t < segment.start) return std::nullopt;
        if (t <= segment.end) return accumulated + (t - segment.start);
        accumulated += segment.end - segment.start;
    }
    return std::nullopt;
}

TEST(ActiveSegments, FastOffsetAgreesWithDefinitionOnOrderedAndShuffledRoutes) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> gap(0, 200);
    for (int round = 0; round < 200; ++round) {
        std::vector<double> times{0};
        for (int i = 0; i < 30; ++i) times.push_back(times.back() + gap(random));
        if (round % 2) std::shuffle(times.begin() + 1, times.end(), random);
        auto route = routeWithTimes(times);
        auto segments = activeSegments(route);
        for (double t = -50; t < times.back() + 300; t += 7.3) {
            ASSERT_EQ(activeOffset(kRideStart + t, segments),
                      walkedOffset(kRideStart + t, segments));
        }
    }
}

TEST(PauseRemoval, RouteRunsFromReferenceWithoutPausesAndFreshIds) {
    auto route = routeWithTimes({0, 60, 1000, 1030});
    auto segments = activeSegments(route);
    auto result = removePauses(route, segments, kRideStart - 5);
    ASSERT_EQ(result.size(), 4u);
    std::vector<double> expected{-5, 55, 55, 85};
    for (std::size_t i = 0; i < result.size(); ++i) {
        EXPECT_DOUBLE_EQ(result[i].timestamp, kRideStart + expected[i]);
        EXPECT_EQ(result[i].coordinate, route[i].coordinate);
        EXPECT_NE(result[i].id, route[i].id);
    }
}

class HeartRatePauses : public ::testing::Test {
  protected:
    // Segments 0…100 s and 310…400 s; the pause between them lasts 210 s.
    std::vector<RoutePoint> route = routeWithTimes({0, 50, 100, 310, 400});
    std::vector<ActiveSegment> segments = activeSegments(route);

    std::vector<HeartRateSample> samplesAt(const std::vector<double>& seconds) {
        std::vector<HeartRateSample> samples;
        for (double s : seconds) samples.push_back(test::heartRateAt(kRideStart + s, 100 + s));
        return samples;
    }
    static std::vector<double> offsets(const std::vector<HeartRateSample>& samples) {
        std::vector<double> result;
        for (const auto& sample : samples) result.push_back(sample.timestamp - kRideStart);
        return result;
    }
};

TEST_F(HeartRatePauses, DroppingKeepsOnlySamplesWhileMoving) {
    auto result = removePauses(samplesAt({-5, 20, 110, 205, 320, 401}), segments, kRideStart);
    EXPECT_EQ(offsets(result), (std::vector<double>{20, 110}));
    EXPECT_EQ(result[1].bpm, 420);
}

TEST_F(HeartRatePauses, SnappingMovesPauseSamplesToTheNearerEdge) {
    // 10 s after the first segment's end, 200 s before the next: the earlier edge; exactly
    // half-way (205 s) is a tie and goes to the earlier edge too; 300 s is nearer the later one.
    auto result =
        removePausesSnapping(samplesAt({-5, 20, 110, 205, 300, 320, 401}), segments, kRideStart);
    EXPECT_EQ(offsets(result), (std::vector<double>{0, 20, 100, 100, 100, 110, 190}));
    EXPECT_EQ(result.size(), 7u);
}

TEST_F(HeartRatePauses, WithoutSegmentsSnappingKeepsAndDroppingEmpties) {
    auto samples = samplesAt({1, 2});
    EXPECT_EQ(removePausesSnapping(samples, {}, kRideStart), samples);
    EXPECT_TRUE(removePauses(samples, {}, kRideStart).empty());
}

TEST(Splits, MileSplitsOfThreeKilometresEndWithAScaledPartialSplit) {
    std::vector<RoutePoint> route{pointAt(0, kRideStart, 100),
                                  pointAt(3000, kRideStart + 600, 130)};
    auto splits = computeSplits(route, false, std::nullopt);
    ASSERT_EQ(splits.size(), 2u);
    EXPECT_EQ(splits[0].number, 1);
    double fullFraction = 1609.34 / 3000;
    EXPECT_NEAR(splits[0].pace, 600 * fullFraction, 1e-3);
    EXPECT_NEAR(splits[0].elevationChange, 30 * fullFraction, 1e-4);
    EXPECT_EQ(splits[1].number, 2);
    EXPECT_NEAR(splits[1].pace, 600 * (1 - fullFraction) * 1609.34 / 1390.66, 1e-3);
    EXPECT_NEAR(splits[1].elevationChange, 30 * (1 - fullFraction), 1e-4);
}

TEST(Splits, OneLongStepClosesSeveralSplits) {
    std::vector<RoutePoint> route{pointAt(0, kRideStart), pointAt(2500, kRideStart + 250)};
    auto splits = computeSplits(route, true, SplitDistance::oneThousandMeters);
    ASSERT_EQ(splits.size(), 3u);
    EXPECT_NEAR(splits[0].pace, 100, 1e-4);
    EXPECT_NEAR(splits[1].pace, 100, 1e-4);
    EXPECT_NEAR(splits[2].pace, 100, 1e-3);  // 50 s for 500 m, scaled to 1000 m
}

TEST(Splits, PartialSplitNeedsATenthOfTheLength) {
    auto withRemainder = [](double remainder) {
        std::vector<RoutePoint> route{pointAt(0, kRideStart), pointAt(1000, kRideStart + 300),
                                      pointAt(1000 + remainder, kRideStart + 330)};
        return computeSplits(route, true, std::nullopt).size();
    };
    EXPECT_EQ(withRemainder(99), 1u);
    EXPECT_EQ(withRemainder(100.01), 2u);
}

TEST(Splits, MetricFlagPicksKilometresUnlessADistanceIsGiven) {
    auto route = test::steadyRoute(33, 10, 100);  // 3.2 km
    EXPECT_EQ(computeSplits(route, true, std::nullopt).size(), 4u);
    EXPECT_EQ(computeSplits(route, false, std::nullopt).size(), 2u);
    EXPECT_EQ(computeSplits(route, true, SplitDistance::quarterMile).size(), 8u);
    EXPECT_TRUE(computeSplits({route.front()}, true, std::nullopt).empty());
}

TEST(Splits, GarbageCoordinatesCannotGrowTheTableWithoutBound) {
    std::vector<RoutePoint> route;
    for (int i = 0; i < 200; ++i) {
        route.push_back(
            {Uuid::random(), {i % 2 ? 89.0 : -89.0, i % 2 ? 180.0 : 0.0}, 0, kRideStart + i});
    }
    EXPECT_LE(computeSplits(route, true, SplitDistance::fourHundredMeters).size(), 1'000'000u);
}

TEST(Speeds, AverageUsesActiveTimeElseDuration) {
    EXPECT_EQ(averageSpeed(36000, 0, 3600), 10.0);
    EXPECT_EQ(averageSpeed(36000, 1800, 3600), 20.0);
    EXPECT_EQ(averageSpeed(0, 1800, 3600), 0.0);
    EXPECT_EQ(averageSpeed(100, 0, 0), 0.0);
}

TEST(Speeds, MaxSpeedNeedsWindowsOfTenToThirtySeconds) {
    EXPECT_EQ(maxSpeed({pointAt(0, kRideStart), pointAt(50, kRideStart + 5)}), 0.0);
    EXPECT_EQ(maxSpeed({pointAt(0, kRideStart), pointAt(500, kRideStart + 40)}), 0.0);
    EXPECT_EQ(maxSpeed(test::steadyRoute(20, 1, 0)), 0.0);
    // From the first point the window ends at 12 s (the 9 s point is too early); straight
    // line, not the path back and forth.
    std::vector<RoutePoint> route{pointAt(0, kRideStart), pointAt(200, kRideStart + 9),
                                  pointAt(120, kRideStart + 12)};
    EXPECT_NEAR(maxSpeed(route), 10.0, 1e-6);
}

// Reference: look ahead from every point for the first one 10 s later.
double scannedMaxSpeed(const std::vector<RoutePoint>& route) {
    double best = 0;
    for (std::size_t i = 0; i < route.size(); ++i) {
        for (std::size_t j = i + 1; j < route.size(); ++j) {
            double dt = route[j].timestamp - route[i].timestamp;
            if (dt < 10) continue;
            if (dt < 30) {
                best =
                    std::max(best, geodesicDistance(route[i].coordinate, route[j].coordinate) / dt);
            }
            break;
        }
    }
    return best;
}

TEST(Speeds, MaxSpeedAgreesWithPlainLookAheadOnIrregularTimestamps) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> jitter(-8, 12);
    std::uniform_real_distribution<double> metres(0, 300);
    for (int round = 0; round < 100; ++round) {
        std::vector<RoutePoint> route;
        double t = 0;
        for (int i = 0; i < 80; ++i) {
            t += jitter(random);
            route.push_back(pointAt(metres(random), kRideStart + t));
        }
        ASSERT_DOUBLE_EQ(maxSpeed(route), scannedMaxSpeed(route));
    }
}

TEST(SplitDistances, EffectiveChoiceComesFromViewThenPreferenceThenUnits) {
    test::IsolatedEnvironment environment;
    Uuid ride = Uuid::random();
    Uuid other = Uuid::random();
    EXPECT_EQ(effectiveSplitDistance(std::nullopt, ride, UnitSystem::metric, Preferences::shared()),
              SplitDistance::kilometer);
    EXPECT_EQ(
        effectiveSplitDistance(std::nullopt, ride, UnitSystem::imperial, Preferences::shared()),
        SplitDistance::mile);

    rememberSplitDistance(SplitDistance::fourHundredMeters, ride, Preferences::shared());
    EXPECT_EQ(Preferences::shared().string("splitDistance_" + ride.toString()), "400m");
    EXPECT_EQ(effectiveSplitDistance(std::nullopt, ride, UnitSystem::metric, Preferences::shared()),
              SplitDistance::fourHundredMeters);
    EXPECT_EQ(
        effectiveSplitDistance(std::nullopt, other, UnitSystem::metric, Preferences::shared()),
        SplitDistance::kilometer);
    EXPECT_EQ(effectiveSplitDistance(SplitDistance::mile, ride, UnitSystem::metric,
                                     Preferences::shared()),
              SplitDistance::mile);

    Preferences::shared().setString("splitDistance_" + ride.toString(), "furlong");
    EXPECT_EQ(effectiveSplitDistance(std::nullopt, ride, UnitSystem::metric, Preferences::shared()),
              SplitDistance::kilometer);
}

TEST(SplitDistances, ChoicesGoToThePreferencesPassedIn) {
    test::IsolatedEnvironment environment;
    Preferences own(environment.root() / "own.json");
    Uuid ride = Uuid::random();
    rememberSplitDistance(SplitDistance::mile, ride, own);
    EXPECT_EQ(own.string("splitDistance_" + ride.toString()), "mile");
    EXPECT_EQ(Preferences::shared().string("splitDistance_" + ride.toString()), std::nullopt);
    EXPECT_EQ(effectiveSplitDistance(std::nullopt, ride, UnitSystem::metric, own),
              SplitDistance::mile);
    EXPECT_EQ(effectiveSplitDistance(std::nullopt, ride, UnitSystem::metric, Preferences::shared()),
              SplitDistance::kilometer);
}

}  // namespace
}  // namespace vantrel
