#include <gtest/gtest.h>

#include <cmath>

#include "app/map/MapView.h"

namespace vantrel::test {
namespace {

TEST(MapRouteTest, DrawnRouteKeepsItsShapeWithFewerPoints) {
    std::vector<CodableCoordinate> straight;
    for (int i = 0; i < 1000; ++i) straight.push_back({46.0 + i * 1e-4, 7.0});
    EXPECT_EQ(simplifiedRoute(straight),
              (std::vector<CodableCoordinate>{straight.front(), straight.back()}));

    // Out, along and back: the two corners survive, the points between them do not.
    std::vector<CodableCoordinate> hook;
    for (int i = 0; i <= 100; ++i) hook.push_back({46.0 + i * 1e-4, 7.0});
    for (int i = 1; i <= 100; ++i) hook.push_back({46.01, 7.0 + i * 1e-4});
    for (int i = 1; i <= 100; ++i) hook.push_back({46.01 - i * 1e-4, 7.01});
    std::vector<CodableCoordinate> drawn = simplifiedRoute(hook);
    EXPECT_EQ(drawn, (std::vector<CodableCoordinate>{hook[0], hook[100], hook[200], hook[300]}));
}

TEST(MapRouteTest, AWigglyTenHourTrackIsBoundedAndKeepsItsEnds) {
    std::vector<CodableCoordinate> wiggly;
    for (int i = 0; i < 36'000; ++i) {
        wiggly.push_back({46.0 + i * 1e-5, 7.0 + (i % 2 ? 0.01 : 0.0)});
    }
    std::vector<CodableCoordinate> drawn = simplifiedRoute(wiggly, 4000);
    EXPECT_EQ(drawn.size(), 4000u);
    EXPECT_EQ(drawn.front(), wiggly.front());
    EXPECT_EQ(drawn.back(), wiggly.back());
    EXPECT_EQ(simplifiedRoute({{1, 2}}), (std::vector<CodableCoordinate>{{1, 2}}));
}

}  // namespace
}  // namespace vantrel::test
