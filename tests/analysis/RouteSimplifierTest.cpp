#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#include <cmath>
#include <limits>
#include <random>

#include "analysis/RouteSimplifier.h"
#include "analysis/TestRoutes.h"

namespace vantrel::test {
namespace {

CodableCoordinate moved(const CodableCoordinate& from, double azimuth, double metres) {
    CodableCoordinate to;
    GeographicLib::Geodesic::WGS84().Direct(from.latitude, from.longitude, azimuth, metres,
                                            to.latitude, to.longitude);
    return to;
}

/// A wandering walk: steps of 5 to 15 m, each turning up to 40 degrees from the last.
std::vector<CodableCoordinate> wanderingRoute(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> step(5, 15), turn(-40, 40);
    std::vector<CodableCoordinate> route{kRouteOrigin};
    double heading = 30;
    for (int i = 1; i < count; ++i) {
        heading += turn(random);
        route.push_back(moved(route.back(), heading, step(random)));
    }
    return route;
}

/// Shortest ellipsoidal distance from `p` to the geodesic from `a` to `b`, found by sampling the
/// geodesic: a measure that shares nothing with the simplifier's own projection.
double geodesicDistanceToSegment(const CodableCoordinate& p, const CodableCoordinate& a,
                                 const CodableCoordinate& b) {
    const auto& earth = GeographicLib::Geodesic::WGS84();
    GeographicLib::GeodesicLine line =
        earth.InverseLine(a.latitude, a.longitude, b.latitude, b.longitude);
    double nearest = std::numeric_limits<double>::max();
    constexpr int kSamples = 400;
    for (int i = 0; i <= kSamples; ++i) {
        double lat, lon, distance;
        line.Position(line.Distance() * i / kSamples, lat, lon);
        earth.Inverse(p.latitude, p.longitude, lat, lon, distance);
        nearest = std::min(nearest, distance);
    }
    return nearest;
}

/// The largest distance of any original point from the kept segment that spans it. Kept
/// points must appear in the original's order.
double worstDeviation(const std::vector<CodableCoordinate>& original,
                      const std::vector<CodableCoordinate>& kept) {
    double worst = 0;
    std::size_t segment = 0;
    for (const auto& point : original) {
        if (segment + 1 < kept.size() && point == kept[segment + 1]) {
            ++segment;
            continue;
        }
        if (segment + 1 >= kept.size()) break;
        worst = std::max(worst, geodesicDistanceToSegment(point, kept[segment], kept[segment + 1]));
    }
    return worst;
}

TEST(RouteSimplifierTest, EveryDroppedPointStaysWithinTheToleranceOnTheGround) {
    for (double tolerance : {1.0, 3.0, 10.0}) {
        std::vector<CodableCoordinate> route = wanderingRoute(600, 7);
        std::vector<CodableCoordinate> kept = simplifyRoute(route, tolerance);
        EXPECT_EQ(kept.front(), route.front());
        EXPECT_EQ(kept.back(), route.back());
        EXPECT_LT(kept.size(), route.size());
        // The local projection may differ from the ellipsoid by a fraction of a percent.
        EXPECT_LE(worstDeviation(route, kept), tolerance * 1.01) << "tolerance " << tolerance;
    }
    // A coarser tolerance never needs more points.
    auto route = wanderingRoute(600, 7);
    EXPECT_LE(simplifyRoute(route, 10).size(), simplifyRoute(route, 3).size());
}

TEST(RouteSimplifierTest, TheSamePromiseHoldsNearThePoleAndAcrossTheDateLine) {
    for (CodableCoordinate start :
         {CodableCoordinate{78.2, 15.6}, CodableCoordinate{-16.5, 179.99}}) {
        std::vector<CodableCoordinate> route{start};
        std::mt19937 random(3);
        std::uniform_real_distribution<double> turn(-50, 50);
        double heading = 90;
        for (int i = 0; i < 300; ++i) {
            heading += turn(random);
            route.push_back(moved(route.back(), heading, 10));
        }
        std::vector<CodableCoordinate> kept = simplifyRoute(route, 3);
        EXPECT_LE(worstDeviation(route, kept), 3 * 1.01);
    }
}

TEST(RouteSimplifierTest, AStraightRoadKeepsOnlyItsEndsAndACornerStays) {
    std::vector<CodableCoordinate> straight;
    for (int i = 0; i <= 1000; ++i) straight.push_back(northOfOrigin(i * 5.0));
    EXPECT_EQ(simplifyRoute(straight, 3), (std::vector{straight.front(), straight.back()}));

    // East across the 180th meridian: a straight line, not a detour round the world.
    std::vector<CodableCoordinate> dateLine;
    for (int i = 0; i <= 100; ++i)
        dateLine.push_back({-16.5, 179.99 + i * 0.0002 - (i > 50 ? 360 : 0)});
    EXPECT_EQ(simplifyRoute(dateLine, 3).size(), 2u);

    std::vector<CodableCoordinate> corner;
    for (int i = 0; i <= 100; ++i) corner.push_back(northOfOrigin(i * 5.0));
    for (int i = 1; i <= 100; ++i) corner.push_back(moved(corner[100], 90, i * 5.0));
    std::vector<CodableCoordinate> kept = simplifyRoute(corner, 3);
    EXPECT_EQ(kept, (std::vector{corner.front(), corner[100], corner.back()}));
}

TEST(RouteSimplifierTest, ALongNoisyRecordingStaysWithinTheTolerance) {
    // GPS noise at a standstill for ten hours at 1 Hz: a case that can take Douglas-Peucker
    // quadratic time. Its promise must hold across the points it keeps to bound that.
    std::vector<CodableCoordinate> route;
    for (int i = 0; i < 36000; ++i) route.push_back(moved(kRouteOrigin, i * 137.5, 4 + i % 7));
    std::vector<CodableCoordinate> kept = simplifyRoute(route, 3);
    EXPECT_EQ(kept.back(), route.back());
    double worst = 0;
    for (std::size_t i = 0, k = 0; i < route.size() && k + 1 < kept.size(); ++i) {
        if (route[i] == kept[k + 1]) {
            ++k;
            continue;
        }
        worst = std::max(worst, distanceToSegmentMetres(route[i], kept[k], kept[k + 1]));
    }
    EXPECT_LE(worst, 3.0);
}

TEST(RouteSimplifierTest, PointsOffTheGlobeAreDroppedAndShortRoutesStayAsTheyAre) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<CodableCoordinate> route{
        kRouteOrigin, {nan, 8.5}, {95, 8.5}, {47.4, 200}, northOfOrigin(100)};
    EXPECT_EQ(simplifyRoute(route, 3), (std::vector{kRouteOrigin, northOfOrigin(100)}));
    EXPECT_TRUE(simplifyRoute({}, 3).empty());
    EXPECT_EQ(simplifyRoute({kRouteOrigin}, 3).size(), 1u);
    // Standing still: many copies of one point come down to its two ends.
    EXPECT_EQ(simplifyRoute(std::vector(50, kRouteOrigin), 3).size(), 2u);
}

}  // namespace
}  // namespace vantrel::test
