#include <gtest/gtest.h>

#include "TestRoutes.h"
#include "analysis/PersonalRecords.h"

namespace vantrel::test {
namespace {

using PersonalRecords::fastestTime;
using PersonalRecords::KindFilter;

/// A run sampled every second: `paces` gives seconds per km for each stretch of `metres`.
class RunBuilder {
  public:
    RunBuilder& run(double metres, double secondsPerKm) {
        double speed = 1000.0 / secondsPerKm;
        double end = m_position + metres;
        while (m_position + speed <= end + 1e-9) {
            m_position += speed;
            m_time += 1;
            m_route.push_back(pointAt(m_position, m_time));
        }
        return *this;
    }
    /// Stands still (no points) for `seconds`, then records one point at the same place.
    RunBuilder& pause(double seconds) {
        m_time += seconds;
        m_route.push_back(pointAt(m_position, m_time));
        return *this;
    }
    /// No points for `seconds` while `metres` are covered, as when the signal is lost.
    RunBuilder& signalLost(double seconds, double metres) {
        m_time += seconds;
        m_position += metres;
        m_route.push_back(pointAt(m_position, m_time));
        return *this;
    }
    std::vector<RoutePoint> route() const { return m_route; }

  private:
    double m_position = 0;
    Date m_time = kRideStart;
    std::vector<RoutePoint> m_route{pointAt(0, kRideStart)};
};

TEST(PersonalRecordsTest, FastStretchInSteadyRunIsFound) {
    // 5:00/km for 3 km, 4:00/km for 5 km, 5:00/km for 4 km.
    auto route = RunBuilder().run(3000, 300).run(5000, 240).run(4000, 300).route();
    EXPECT_NEAR(*fastestTime(route, 5000), 1200, 0.5);
    EXPECT_NEAR(*fastestTime(route, 1000), 240, 0.5);
    EXPECT_NEAR(*fastestTime(route, 400), 96, 0.5);
    // The best 10 km holds the whole fast stretch and 5 km at the steady pace.
    EXPECT_NEAR(*fastestTime(route, 10000), 1200 + 1500, 0.5);
    EXPECT_FALSE(fastestTime(route, 21097.5));
}

TEST(PersonalRecordsTest, TheStretchOfAFastestTimeIsWhereItWasRun) {
    // The fast 5 km starts after 900 s at 5:00/km; a ten-minute stop before it is no time.
    auto route = RunBuilder().run(3000, 300).pause(600).run(5000, 240).run(4000, 300).route();
    auto stretch = PersonalRecords::fastestStretch(route, 5000);
    ASSERT_TRUE(stretch);
    EXPECT_NEAR(stretch->start, 900, 0.5);
    EXPECT_NEAR(stretch->end - stretch->start, *fastestTime(route, 5000), 1e-9);
    EXPECT_FALSE(PersonalRecords::fastestStretch(route, 21097.5));
}

TEST(PersonalRecordsTest, PauseInsideFastStretchIsTakenOut) {
    auto route =
        RunBuilder().run(3000, 300).run(2500, 240).pause(600).run(2500, 240).run(4000, 300).route();
    EXPECT_NEAR(*fastestTime(route, 5000), 1200, 0.5);
    // A short stop (under the pause threshold) is part of the effort.
    auto withStop = RunBuilder().run(3000, 300).run(2500, 240).pause(60).run(2500, 240).route();
    EXPECT_NEAR(*fastestTime(withStop, 5000), 1260, 0.5);
}

TEST(PersonalRecordsTest, GroundCoveredWithoutSignalMakesNoRecord) {
    // Two kilometres without points across a five-minute gap: never timed, so not a record.
    auto route = RunBuilder().run(1500, 300).signalLost(300, 2000).run(1500, 300).route();
    EXPECT_NEAR(*fastestTime(route, 1000), 300, 0.5);
    EXPECT_NEAR(*fastestTime(route, 2900), 870, 1.0);
    EXPECT_FALSE(fastestTime(route, 3500));
}

TEST(PersonalRecordsTest, WindowEndsAreInterpolatedBetweenSparsePoints) {
    // One point every 60 s and 180 m: no 400 m window starts or ends on two points.
    auto route = steadyRoute(20, 60, 180);
    EXPECT_NEAR(*fastestTime(route, 400), 400.0 / 3.0, 1e-3);
    // A faster middle step: the best window holds all of it and the rest at the steady pace.
    route = {pointAt(0, kRideStart), pointAt(180, kRideStart + 60), pointAt(540, kRideStart + 120),
             pointAt(720, kRideStart + 180)};
    EXPECT_NEAR(*fastestTime(route, 500), 60 + 140.0 / 3.0, 1e-3);
}

TEST(PersonalRecordsTest, ShortEmptyAndDisorderedRoutes) {
    EXPECT_FALSE(fastestTime({}, 400));
    EXPECT_FALSE(fastestTime({pointAt(0, kRideStart)}, 400));
    EXPECT_FALSE(fastestTime(steadyRoute(10, 1, 3), 400));
    // A point stamped before its predecessor is left out rather than giving a negative time.
    auto route = steadyRoute(200, 1, 3);
    route.insert(route.begin() + 100, pointAt(2000, kRideStart - 50));
    EXPECT_NEAR(*fastestTime(route, 400), 400.0 / 3.0, 1e-3);
    // Standing still with the clock stopped gives no time at all, hence no record.
    std::vector<RoutePoint> frozen{pointAt(0, kRideStart), pointAt(500, kRideStart)};
    EXPECT_FALSE(fastestTime(frozen, 400));
}

TEST(PersonalRecordsTest, RouteBestsFollowTheRecordOrder) {
    auto route = RunBuilder().run(12000, 300).route();
    auto bests = PersonalRecords::routeBests(route);
    const auto& kinds = PersonalRecords::routeRecordKinds();
    ASSERT_EQ(bests.size(), kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        double window = *PersonalRecords::windowDistance(kinds[i]);
        if (window > 12000) {
            EXPECT_FALSE(bests[i]) << PersonalRecords::rawValue(kinds[i]);
        } else {
            EXPECT_NEAR(*bests[i], window * 0.3, 0.5) << PersonalRecords::rawValue(kinds[i]);
        }
    }
}

PersonalRecords::ActivityBests activity(std::optional<ActivityType> kind, Date date, double fiveKm,
                                        double distance = 10000, double duration = 3600,
                                        double gain = 100) {
    PersonalRecords::ActivityBests result;
    result.activityType = kind;
    result.date = date;
    result.distance = distance;
    result.duration = duration;
    result.elevationGain = gain;
    result.route.assign(PersonalRecords::routeRecordKinds().size(), std::nullopt);
    result.route[3] = fiveKm;  // fastest5km
    return result;
}

std::optional<PersonalRecord> recordOf(const std::vector<PersonalRecord>& records,
                                       RecordKind kind) {
    for (const auto& record : records) {
        if (record.kind == kind) return record;
    }
    return std::nullopt;
}

TEST(PersonalRecordsTest, EachRecordComesFromTheKindsItBelongsTo) {
    auto run = activity(ActivityType::running, 100, 1500);
    auto walk = activity(ActivityType::walking, 200, 2400, 8000, 5000);
    auto ride = activity(ActivityType::roadCycling, 300, 500, 80000, 10000, 1200);
    auto unknown = activity(std::nullopt, 400, 100, 1e6, 20000, 9000);
    std::vector all{run, walk, ride, unknown};

    auto records = PersonalRecords::bestRecords(all, KindFilter::everything());
    EXPECT_EQ(recordOf(records, RecordKind::fastest5km)->rideID, run.rideID);
    EXPECT_EQ(recordOf(records, RecordKind::longestDistance)->rideID, ride.rideID);
    EXPECT_EQ(recordOf(records, RecordKind::largestElevationGain)->value, 1200);
    EXPECT_EQ(recordOf(records, RecordKind::longestDuration)->rideID, unknown.rideID);
    EXPECT_FALSE(recordOf(records, RecordKind::fastest10km));

    auto walking = PersonalRecords::bestRecords(all, *KindFilter::fromText("walking"));
    EXPECT_EQ(recordOf(walking, RecordKind::fastest5km)->rideID, walk.rideID);
    EXPECT_EQ(recordOf(walking, RecordKind::longestDuration)->rideID, walk.rideID);
    EXPECT_FALSE(recordOf(walking, RecordKind::longestDistance));

    auto cycling = PersonalRecords::bestRecords(all, *KindFilter::fromText("cycling"));
    EXPECT_FALSE(recordOf(cycling, RecordKind::fastest5km));
    EXPECT_EQ(recordOf(cycling, RecordKind::longestDuration)->rideID, ride.rideID);
}

TEST(PersonalRecordsTest, TheEarlierActivityKeepsATiedRecord) {
    auto later = activity(ActivityType::running, 500, 1500);
    auto earlier = activity(ActivityType::trailRunning, 100, 1500);
    auto records = PersonalRecords::bestRecords({later, earlier}, KindFilter::everything());
    EXPECT_EQ(recordOf(records, RecordKind::fastest5km)->rideID, earlier.rideID);
    EXPECT_EQ(recordOf(records, RecordKind::longestDuration)->rideID, earlier.rideID);
}

PersonalRecords::ActivityBests measured(ActivityType kind, double kmPerHour, double metres) {
    PersonalRecords::ActivityBests result;
    result.activityType = kind;
    result.date = kRideStart;
    result.distance = metres;
    result.duration = metres / (kmPerHour / 3.6);
    result.route = PersonalRecords::routeBests(
        steadyRoute(static_cast<int>(metres / 100) + 1, 100 / (kmPerHour / 3.6), 100));
    return result;
}

TEST(PersonalRecordsTest, ARideTypedAsARunHoldsNoRecordOnFoot) {
    auto mislabelled = measured(ActivityType::running, 40, 45000);
    auto run = measured(ActivityType::running, 12, 10000);
    auto records = PersonalRecords::bestRecords({mislabelled, run}, KindFilter::everything());
    for (auto kind : {RecordKind::fastest400m, RecordKind::fastest1km, RecordKind::fastestMile,
                      RecordKind::fastest5km, RecordKind::fastest10km}) {
        EXPECT_EQ(recordOf(records, kind)->rideID, run.rideID) << PersonalRecords::rawValue(kind);
    }
    // Its other records still count.
    EXPECT_FALSE(recordOf(records, RecordKind::fastestMarathon));
    EXPECT_EQ(recordOf(records, RecordKind::longestDuration)->rideID, mislabelled.rideID);
    EXPECT_EQ(PersonalRecords::impossibleBestCount({mislabelled, run}), 7u);

    // The same ride typed right is a record at 40 km/h; at 90 km/h it is a car.
    auto ride = measured(ActivityType::roadCycling, 40, 45000);
    auto car = measured(ActivityType::cycling, 90, 45000);
    records = PersonalRecords::bestRecords({ride, car}, KindFilter::everything());
    EXPECT_EQ(recordOf(records, RecordKind::fastest20km)->rideID, ride.rideID);
    EXPECT_EQ(recordOf(records, RecordKind::fastest40km)->rideID, ride.rideID);
    EXPECT_EQ(PersonalRecords::impossibleBestCount({ride, car}), 2u);
}

TEST(PersonalRecordsTest, LimitsSitAtTheWorldRecordsAndTablesSayWhatCounts) {
    EXPECT_TRUE(PersonalRecords::isPossible(RecordKind::fastest400m, 43));
    EXPECT_FALSE(PersonalRecords::isPossible(RecordKind::fastest400m, 42.9));
    EXPECT_FALSE(PersonalRecords::isPossible(RecordKind::fastestMarathon, 2 * 3600 + 34));
    EXPECT_TRUE(PersonalRecords::isPossible(RecordKind::fastest20km, 900));
    EXPECT_FALSE(PersonalRecords::isPossible(RecordKind::fastest20km, 899));
    EXPECT_TRUE(PersonalRecords::isPossible(RecordKind::longestDistance, 1e9));
    EXPECT_EQ(PersonalRecords::countedKinds(RecordKind::fastestMile), "Running and walking");
    EXPECT_EQ(PersonalRecords::countedKinds(RecordKind::largestElevationGain), "Cycling");
    EXPECT_EQ(PersonalRecords::countedKinds(RecordKind::longestDuration), "Every activity");
}

TEST(PersonalRecordsTest, KindFilterTexts) {
    auto cycling = KindFilter::fromText("cycling");
    ASSERT_TRUE(cycling);
    EXPECT_TRUE(cycling->contains(ActivityType::mountainBiking));
    EXPECT_FALSE(cycling->contains(ActivityType::running));
    EXPECT_FALSE(cycling->contains(std::nullopt));
    auto trail = KindFilter::fromText("trailRunning");
    ASSERT_TRUE(trail);
    EXPECT_FALSE(trail->contains(ActivityType::running));
    trail->add(*KindFilter::fromText("swimming"));
    EXPECT_TRUE(trail->contains(ActivityType::aquaJogging));
    EXPECT_FALSE(KindFilter::fromText("Running"));
    EXPECT_FALSE(KindFilter::fromText(""));
    EXPECT_TRUE(KindFilter::everything().contains(std::nullopt));
}

}  // namespace
}  // namespace vantrel::test
