#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/BestPowerCurve.h"
#include "analysis/PowerAnalysis.h"
#include "analysis/PowerCurve.h"

namespace vantrel {
namespace {

/// One sample per second from `start`, `seconds` long, at `watts`.
void appendSteady(std::vector<PowerSample>& samples, double start, int seconds, double watts) {
    for (int i = 0; i < seconds; ++i) samples.push_back({Uuid::random(), start + i, watts});
}

TEST(PowerCurve, TwentyMinutesAtThreeHundredInsideAnHourAtTwoHundred) {
    std::vector<PowerSample> samples;
    appendSteady(samples, 0, 1200, 200);
    appendSteady(samples, 1200, 1200, 300);
    appendSteady(samples, 2400, 1200, 200);
    PowerCurve curve(samples);
    EXPECT_DOUBLE_EQ(curve.length(), 3600);
    EXPECT_DOUBLE_EQ(*curve.bestMeanPower(5), 300);
    EXPECT_DOUBLE_EQ(*curve.bestMeanPower(1200), 300);
    // 30 min: the 20-min block and 10 min beside it.
    EXPECT_NEAR(*curve.bestMeanPower(1800), (1200 * 300 + 600 * 200) / 1800.0, 1e-9);
    EXPECT_NEAR(*curve.bestMeanPower(3600), 700.0 / 3, 1e-9);
    EXPECT_FALSE(curve.bestMeanPower(3601));
    EXPECT_FALSE(curve.bestMeanPower(0));
    // A record row marks where its power was held: the block itself, not the series' start.
    EXPECT_DOUBLE_EQ(*curve.bestStretchStart(1200), 1200);
    EXPECT_DOUBLE_EQ(*curve.bestStretchStart(3600), 0);
    EXPECT_FALSE(curve.bestStretchStart(3601));
}

TEST(PowerCurve, ShortGapsAreHeldLongGapsCountAsZero) {
    // Samples every 5 s are held in between; 15 s without a sample is a stop.
    std::vector<PowerSample> held = {
        {Uuid::random(), 0, 100}, {Uuid::random(), 5, 300}, {Uuid::random(), 10, 100}};
    EXPECT_DOUBLE_EQ(*PowerCurve(held).bestMeanPower(5), 300);
    EXPECT_DOUBLE_EQ(PowerCurve(held).length(), 11);

    std::vector<PowerSample> gap = {{Uuid::random(), 0, 300}, {Uuid::random(), 16, 300}};
    PowerCurve stopped(gap);
    EXPECT_DOUBLE_EQ(stopped.length(), 17);
    EXPECT_DOUBLE_EQ(*stopped.bestMeanPower(1), 300);
    // One second of 300 W at each end of 15 s at 0 W.
    EXPECT_NEAR(*stopped.bestMeanPower(17), 600.0 / 17, 1e-9);
    EXPECT_NEAR(*stopped.bestMeanPower(2), 150, 1e-9);
}

TEST(PowerCurve, OrderDuplicatesAndUnusableSamples) {
    std::vector<PowerSample> samples = {{Uuid::random(), 2, 200}, {Uuid::random(), 0, 100},
                                        {Uuid::random(), 1, 999},  // replaced at once
                                        {Uuid::random(), 1, 150}, {Uuid::random(), NAN, 5000},
                                        {Uuid::random(), 3, -50}, {Uuid::random(), 4, INFINITY}};
    PowerCurve curve(samples);
    EXPECT_DOUBLE_EQ(curve.length(), 3);
    EXPECT_DOUBLE_EQ(*curve.bestMeanPower(1), 200);
    EXPECT_DOUBLE_EQ(*curve.bestMeanPower(3), 150);
    EXPECT_TRUE(PowerCurve({}).empty());
    EXPECT_FALSE(PowerCurve({}).bestMeanPower(1));
}

TEST(PowerCurve, NormalizedPowerOfSteadyAndAlternatingEfforts) {
    std::vector<PowerSample> steady;
    appendSteady(steady, 0, 600, 250);
    EXPECT_NEAR(PowerCurve(steady).normalizedPower(), 250, 1e-9);

    // 30 s blocks alternating 400 W and 0 W: the rolling mean swings linearly between them,
    // and NP lies well above the 200 W average.
    std::vector<PowerSample> blocks;
    for (int block = 0; block < 40; ++block)
        appendSteady(blocks, block * 30, 30, block % 2 ? 0 : 400);
    double np = PowerCurve(blocks).normalizedPower();
    EXPECT_GT(np, 250);
    EXPECT_LT(np, 270);

    std::vector<PowerSample> tooShort;
    appendSteady(tooShort, 0, 20, 300);
    EXPECT_EQ(PowerCurve(tooShort).normalizedPower(), 0);
}

TEST(PowerCurve, AYearLongGapCostsNeitherMemoryNorTime) {
    std::vector<PowerSample> samples;
    appendSteady(samples, 0, 60, 200);
    appendSteady(samples, 365 * 86400.0, 60, 200);
    PowerCurve curve(samples);
    EXPECT_DOUBLE_EQ(*curve.bestMeanPower(60), 200);
    EXPECT_GT(curve.normalizedPower(), 0);
    // Standard durations end at 24 h; the curve still ends at the series' whole length.
    auto points = curve.points();
    ASSERT_FALSE(points.empty());
    EXPECT_DOUBLE_EQ(points.back().seconds, curve.length());
}

TEST(PowerAnalysis, BestPowersNormalizedPowerAndCurve) {
    std::vector<PowerSample> samples;
    appendSteady(samples, 0, 600, 180);
    PowerAnalysis analysis = analyzePower(samples);
    EXPECT_DOUBLE_EQ(*analysis.bestPowers[0], 180);  // 5 s
    EXPECT_DOUBLE_EQ(*analysis.bestPowers[2], 180);  // 5 min
    EXPECT_FALSE(analysis.bestPowers[3]);            // 20 min: too short
    EXPECT_NEAR(analysis.normalizedPower, 180, 1e-9);
    ASSERT_FALSE(analysis.curve.empty());
    EXPECT_EQ(analysis.curve.front().seconds, 1);
    EXPECT_EQ(analysis.curve.back().seconds, 600);
    EXPECT_TRUE(analyzePower({}).empty());
}

TEST(BestPowerCurve, BestOfEveryDurationOverCyclingActivities) {
    const auto& durations = PowerCurve::standardDurations();
    auto bests = [&](double sprint, double steady, std::size_t length) {
        std::vector<std::optional<double>> curve(durations.size());
        for (std::size_t i = 0; i < length; ++i) curve[i] = durations[i] <= 5 ? sprint : steady;
        return curve;
    };
    PersonalRecords::ActivityBests sprinter, climber, runner;
    sprinter.activityType = ActivityType::roadCycling;
    sprinter.powerCurve = bests(900, 200, 10);
    climber.activityType = ActivityType::mountainBiking;
    climber.powerCurve = bests(500, 280, 20);
    runner.activityType = ActivityType::running;
    runner.powerCurve = bests(2000, 2000, 30);
    auto curve =
        bestPowerCurve({sprinter, climber, runner}, PersonalRecords::KindFilter::everything());
    ASSERT_EQ(curve.size(), 20u);
    EXPECT_EQ(curve[0].watts, 900);  // 1 s: the sprinter
    EXPECT_EQ(curve[5].watts, 280);  // 15 s: the climber
    EXPECT_EQ(curve[19].seconds, durations[19]);
}

}  // namespace
}  // namespace vantrel
