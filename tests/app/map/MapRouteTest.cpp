#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

TEST(MapRouteTest, HeatmapTextStaysInsideAScriptStringWhateverThePoints) {
    // The text goes into the map page's script as a string literal: every character must lie
    // in the range the page decodes, never a quote, backslash, line break or half of a pair.
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    HeatmapLines lines;
    lines.add({{46.9, 7.4}, {46.900001, 7.399999}, {-90, 180}, {90, -180}});
    lines.add({{nan, 7.4}, {46.9, inf}, {1e300, -1e300}, {-inf, nan}});
    lines.add({{46.9, 7.4}});  // a single point draws nothing and is left out
    EXPECT_EQ(lines.lineCount(), 2u);
    EXPECT_EQ(lines.pointCount, 8u);
    ASSERT_FALSE(lines.pointText.empty());
    for (char16_t c : lines.pointText) {
        EXPECT_GE(c, u'\u0800');
        EXPECT_LE(c, u'\u87FF');
    }
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
