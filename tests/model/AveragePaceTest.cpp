#include <gtest/gtest.h>

#include <limits>

#include "model/AveragePace.h"

namespace vantrel {
namespace {

TEST(AveragePace, FootKindsReadPerKilometreOrMileAndSwimsPerHundred) {
    // 5:00 per kilometre.
    double run = 1000.0 / 300;
    EXPECT_EQ(formatAveragePace(run, ActivityType::running, UnitSystem::metric), "5:00 /km");
    EXPECT_EQ(formatAveragePace(run, ActivityType::treadmill, UnitSystem::imperial), "8:02 /mi");
    EXPECT_EQ(formatAveragePace(run, ActivityType::hiking, UnitSystem::metric), "5:00 /km");
    // 2:05 per 100 m; 100 yd is 91.44 m.
    double swim = 100.0 / 125;
    EXPECT_EQ(formatAveragePace(swim, ActivityType::swimming, UnitSystem::metric), "2:05 /100 m");
    EXPECT_EQ(formatAveragePace(swim, ActivityType::swimming, UnitSystem::imperial),
              "1:54 /100 yd");
}

TEST(AveragePace, NoPaceForOtherKindsOrWithoutSpeed) {
    EXPECT_FALSE(formatAveragePace(8, ActivityType::cycling, UnitSystem::metric));
    EXPECT_FALSE(formatAveragePace(8, std::nullopt, UnitSystem::metric));
    EXPECT_FALSE(formatAveragePace(0, ActivityType::running, UnitSystem::metric));
    EXPECT_FALSE(formatAveragePace(1e-9, ActivityType::running, UnitSystem::metric));
    EXPECT_FALSE(formatAveragePace(std::numeric_limits<double>::infinity(), ActivityType::running,
                                   UnitSystem::metric));
    EXPECT_EQ(secondsPerKilometre(4), 250);
    EXPECT_FALSE(secondsPerKilometre(0));
}

}  // namespace
}  // namespace vantrel
