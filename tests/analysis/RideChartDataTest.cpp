#include <gtest/gtest.h>

#include <limits>

#include "analysis/ChartScrubber.h"
#include "analysis/RideChartData.h"
#include "analysis/TestRoutes.h"

namespace vantrel {
namespace {

using test::heartRateAt;
using test::kRideStart;
using test::pointAt;

std::vector<ChartPoint> numbered(int count) {
    std::vector<ChartPoint> points;
    points.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) points.push_back({double(i), double(i)});
    return points;
}

TEST(ChartDecimation, KeepsAtMostOneHundredFiftyEvenlySpacedPoints) {
    EXPECT_EQ(decimateChartPoints(numbered(150)), numbered(150));
    auto from151 = decimateChartPoints(numbered(151));
    EXPECT_EQ(from151.size(), 150u);
    auto from300 = decimateChartPoints(numbered(300));
    ASSERT_EQ(from300.size(), 150u);
    for (std::size_t i = 0; i < from300.size(); ++i) EXPECT_EQ(from300[i].x, 2.0 * i);
}

TEST(ChartPreparation, HeartRateOnlyPlotsInBeatsPerMinute) {
    RideChartInputs inputs;
    inputs.startDate = kRideStart;
    inputs.samples = {heartRateAt(kRideStart + 60, 5), heartRateAt(kRideStart + 180, 150)};
    inputs.averageHR = 120;
    auto chart = prepareChartData(inputs);
    EXPECT_FALSE(chart.hasLeftData);
    EXPECT_EQ(chart.yMin, 0);  // 5 − 10, floored at 0
    EXPECT_EQ(chart.yMax, 160);
    EXPECT_EQ(chart.hrPlot, (std::vector<ChartPoint>{{0, 5}, {2, 150}}));
    EXPECT_EQ(chart.avgHRScaled, 120);
    EXPECT_EQ(chart.xMax, 2);
    EXPECT_TRUE(chart.heartRateTicks().empty());
    EXPECT_TRUE(chart.dataReady);
    EXPECT_EQ(chartTitle(inputs), "Heart Rate");
}

TEST(ChartPreparation, ElevationInTheUnitSystemWithHeartRateRescaledOntoIt) {
    RideChartInputs inputs;
    inputs.startDate = kRideStart;
    inputs.routePoints = {pointAt(0, kRideStart + 120, 100), pointAt(100, kRideStart + 240, 150)};
    inputs.samples = {heartRateAt(kRideStart + 60, 120), heartRateAt(kRideStart + 300, 160)};
    inputs.averageHR = 140;
    auto chart = prepareChartData(inputs);
    EXPECT_EQ(chart.leftAxisUnit, "ft");
    EXPECT_DOUBLE_EQ(chart.yMin, 328.084 - 20);
    EXPECT_DOUBLE_EQ(chart.yMax, 492.126 + 20);
    EXPECT_EQ(chart.hrAxisLow, 110);
    EXPECT_EQ(chart.hrAxisHigh, 170);
    // The origin is the first route point: earlier heart rate is raised to x = 0.
    EXPECT_EQ(chart.hrPlot.front().x, 0);
    EXPECT_DOUBLE_EQ(chart.hrPlot.front().y, chart.yMin + (chart.yMax - chart.yMin) * 10 / 60);
    EXPECT_DOUBLE_EQ(chart.avgHRScaled, chart.yMin + (chart.yMax - chart.yMin) * 30 / 60);
    EXPECT_EQ(chart.xMax, 3);
    auto ticks = chart.heartRateTicks();
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ticks[0].label, "120 bpm");
    EXPECT_EQ(ticks[1].label, "140 bpm");
    EXPECT_EQ(ticks[2].label, "160 bpm");
    EXPECT_DOUBLE_EQ(ticks[1].y, chart.avgHRScaled);
    EXPECT_EQ(chartTitle(inputs), "Heart Rate & Elevation");

    inputs.unitSystem = UnitSystem::metric;
    EXPECT_EQ(prepareChartData(inputs).leftAxisUnit, "m");
    EXPECT_EQ(prepareChartData(inputs).yMin, 80);
}

TEST(ChartPreparation, PowerIsTheLeftSeriesInWattsInEveryUnitSystem) {
    RideChartInputs inputs;
    inputs.unitSystem = UnitSystem::metric;
    inputs.routePoints = {pointAt(0, kRideStart, 400), pointAt(10, kRideStart + 60, 410)};
    inputs.powerSamples = {{Uuid::random(), kRideStart + 30, 180},
                           {Uuid::random(), kRideStart + 90, 260}};
    auto chart = prepareChartData(inputs);
    EXPECT_EQ(chart.leftAxisUnit, "W");
    EXPECT_EQ(chart.leftLineColor, ChartLineColor::blue);
    EXPECT_EQ(chart.leftPlot, (std::vector<ChartPoint>{{0, 180}, {1, 260}}));
    EXPECT_EQ(chart.avgHRScaled, 0);  // no average heart rate: no rule
    EXPECT_EQ(chartTitle(inputs), "Power");
    inputs.samples = {heartRateAt(kRideStart, 100)};
    EXPECT_EQ(chartTitle(inputs), "Power & Heart Rate");
}

TEST(ChartPreparation, NothingToPlotKeepsThePreviousDomain) {
    RideChartData previous;
    previous.yMin = 3;
    previous.yMax = 9;
    auto chart = prepareChartData({}, previous);
    EXPECT_EQ(chart.yMin, 3);
    EXPECT_EQ(chart.yMax, 9);
    EXPECT_EQ(chart.xMax, 0);
    EXPECT_EQ(chartTitle({}), "Elevation");
}

TEST(ChartTicks, StepsAreOneTwoOrFiveTimesAPowerOfTen) {
    EXPECT_DOUBLE_EQ(roundTickStep(47), 10);   // 0…47 minutes: 0, 10, 20, 30, 40
    EXPECT_DOUBLE_EQ(roundTickStep(224), 50);  // 308…532 ft
    EXPECT_DOUBLE_EQ(roundTickStep(1200), 200);
    EXPECT_DOUBLE_EQ(roundTickStep(30000), 5000);
    EXPECT_DOUBLE_EQ(roundTickStep(3), 1);  // whole-number labels never repeat
    EXPECT_DOUBLE_EQ(roundTickStep(0.3, 6, 0.01), 0.05);
    EXPECT_DOUBLE_EQ(roundTickStep(0), 1);
    EXPECT_DOUBLE_EQ(roundTickStep(std::numeric_limits<double>::infinity()), 1);
}

TEST(Scrubber, DragMapsOntoThePlotFrameAndClamps) {
    ChartScrubber scrubber;
    scrubber.changed(150, 50, 400);
    EXPECT_EQ(scrubber.progress, 0.25);
    EXPECT_FALSE(scrubber.settled);
    EXPECT_EQ(scrubber.lineX(80), 20);
    scrubber.changed(10, 50, 400);
    EXPECT_EQ(scrubber.progress, 0.0);
    scrubber.changed(900, 50, 400);
    EXPECT_EQ(scrubber.progress, 1.0);
    scrubber.ended();
    EXPECT_TRUE(scrubber.settled);
    scrubber.changed(100, 50, 0);  // a frame without width changes nothing but the settling
    EXPECT_EQ(scrubber.progress, 1.0);
    EXPECT_FALSE(scrubber.settled);
    scrubber.clear();
    EXPECT_EQ(scrubber.progress, std::nullopt);
    EXPECT_EQ(scrubber.lineX(80), std::nullopt);
}

}  // namespace
}  // namespace vantrel
