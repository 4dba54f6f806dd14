#include <gtest/gtest.h>

#include <random>

#include "analysis/GeodesicDistance.h"

namespace vantrel {
namespace {

TEST(GeodesicDistance, ShortStepsAgreeWithTheExactGeodesicToAMillimetre) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> latitude(-89.9, 89.9);
    std::uniform_real_distribution<double> longitude(-180, 180);
    std::uniform_real_distribution<double> offset(-0.012, 0.012);
    for (int i = 0; i < 200'000; ++i) {
        CodableCoordinate from{latitude(random), longitude(random)};
        CodableCoordinate to{std::clamp(from.latitude + offset(random), -90.0, 90.0),
                             from.longitude + offset(random)};
        double exact = exactGeodesicDistance(from, to);
        if (exact >= 1000) continue;
        ASSERT_NEAR(geodesicDistance(from, to), exact, 0.001)
            << from.latitude << " " << from.longitude;
    }
}

TEST(GeodesicDistance, LongStepsOfFlightsAndCrossingsAreExact) {
    CodableCoordinate zurich{47.4647, 8.5492};
    CodableCoordinate newYork{40.6413, -73.7781};
    EXPECT_NEAR(geodesicDistance(zurich, newYork), 6'318'000, 10'000);
    EXPECT_EQ(geodesicDistance(zurich, newYork), exactGeodesicDistance(zurich, newYork));
    // A 300 km sailing leg and a step across the antimeridian.
    EXPECT_NEAR(geodesicDistance({43.0, 5.0}, {40.3, 5.0}), 300'000, 1'000);
    EXPECT_NEAR(geodesicDistance({0.0, 179.9995}, {0.0, -179.9995}), 111.3, 0.1);
    EXPECT_EQ(geodesicDistance({10, 10}, {10, 10}), 0.0);
}

}  // namespace
}  // namespace vantrel
