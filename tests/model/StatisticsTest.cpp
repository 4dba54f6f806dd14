#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <random>

#include "model/ActivityKindGroup.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

// Runs the test in another zone and goes back to the tests' own zone afterwards.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() { test::useTestTimeZone(); }
};

Date localTime(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    return dateFromUnix(static_cast<double>(std::mktime(&tm)));
}

std::tm localParts(Date date) {
    std::time_t t = static_cast<std::time_t>(unixFromDate(date));
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

class StatisticsTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::unique_ptr<RideStore> store = RideStore::open(environment.root() / "store.sqlite");
    std::vector<RideRef> rides;

    RideRef add(Date date, const char* kind, double distance, double activeTime = 600,
                double duration = 900, double elevationGain = 10) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = date;
        if (kind) ride->activityType = kind;
        ride->distance = distance;
        ride->activeTime = activeTime;
        ride->duration = duration;
        ride->elevationGain = elevationGain;
        store->insert(ride);
        rides.push_back(ride);
        return ride;
    }

    std::vector<PeriodTotals> statistics(StatisticsPeriod period,
                                         std::vector<ActivityType> kinds = {}) {
        store->save();
        StatisticsQuery query;
        query.period = period;
        query.kinds = std::move(kinds);
        return store->statistics(query);
    }

    const PeriodTotals& periodLabelled(const std::vector<PeriodTotals>& all,
                                       const std::string& label) {
        for (const auto& totals : all) {
            if (totals.period.label == label) return totals;
        }
        ADD_FAILURE() << "no period " << label;
        static PeriodTotals none;
        return none;
    }

    // A few hundred records over three years: every kind, some without a kind or a moving time,
    // some soft-deleted.
    void addMixedHistory() {
        std::mt19937 random(42);
        std::uniform_real_distribution<double> offset(0, 3 * 365.25 * 86400);
        auto kinds = allActivityTypes();
        for (int i = 0; i < 400; ++i) {
            Date date = localTime(2022, 1, 1, 0, 0) + std::floor(offset(random));
            const char* kind = i % 23 == 0 ? nullptr : rawValue(kinds[i % kinds.size()]).data();
            auto ride = add(date, kind, 100.0 * (i % 97) + 0.5, i % 5 == 0 ? 0 : 60.0 * i, 61.0 * i,
                            i % 13);
            if (i % 17 == 0) ride->deletedAt = date;
        }
    }

    // What a period should hold, summed here from the records themselves.
    PeriodTotals expectedIn(const CalendarPeriod& period,
                            const std::vector<ActivityType>& kinds = {}) {
        PeriodTotals sum;
        for (const auto& ride : rides) {
            if (ride->deletedAt || ride->date < period.start || !(ride->date < period.end))
                continue;
            auto kind = ride->resolvedActivityType();
            if (!kinds.empty() &&
                (!kind || std::find(kinds.begin(), kinds.end(), *kind) == kinds.end()))
                continue;
            sum.count += 1;
            sum.distance += ride->distance;
            sum.movingTime += ride->activeTime == 0 ? ride->duration : ride->activeTime;
            sum.elevationGain += ride->elevationGain;
        }
        return sum;
    }

    void expectSumsOfRecords(const std::vector<PeriodTotals>& all,
                             const std::vector<ActivityType>& kinds = {}, bool contiguous = true) {
        std::int64_t listed = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            SCOPED_TRACE(all[i].period.label);
            if (i > 0 && contiguous) {
                EXPECT_EQ(all[i].period.start, all[i - 1].period.end);
            }
            auto expected = expectedIn(all[i].period, kinds);
            EXPECT_EQ(all[i].count, expected.count);
            EXPECT_NEAR(all[i].distance, expected.distance, 1e-6);
            EXPECT_NEAR(all[i].movingTime, expected.movingTime, 1e-6);
            EXPECT_NEAR(all[i].elevationGain, expected.elevationGain, 1e-6);
            listed += all[i].count;
        }
        CalendarPeriod always;
        always.start = -1e15;
        always.end = 1e15;
        EXPECT_EQ(listed, expectedIn(always, kinds).count);
    }
};

TEST_F(StatisticsTest, TotalsAreTheSumsOfTheLiveRecordsOfEachPeriod) {
    addMixedHistory();
    for (auto period : {StatisticsPeriod::week, StatisticsPeriod::month, StatisticsPeriod::year}) {
        SCOPED_TRACE(std::string(rawValue(period)));
        auto all = statistics(period);
        ASSERT_FALSE(all.empty());
        expectSumsOfRecords(all);
    }
    EXPECT_EQ(statistics(StatisticsPeriod::year).size(), 3u);
    EXPECT_EQ(statistics(StatisticsPeriod::month).size(), 36u);
}

TEST_F(StatisticsTest, PeriodsStartAtLocalMidnightOnMondaysAndFirstDays) {
    addMixedHistory();
    for (const auto& totals : statistics(StatisticsPeriod::week)) {
        auto parts = localParts(totals.period.start);
        EXPECT_EQ(parts.tm_wday, 1) << totals.period.label;
        EXPECT_EQ(parts.tm_hour * 60 + parts.tm_min, 0) << totals.period.label;
    }
    for (const auto& totals : statistics(StatisticsPeriod::month)) {
        auto parts = localParts(totals.period.start);
        EXPECT_EQ(parts.tm_mday, 1) << totals.period.label;
        EXPECT_EQ(parts.tm_hour, 0) << totals.period.label;
    }
}

TEST_F(StatisticsTest, KindGroupsAndKindsFilterTheRecords) {
    addMixedHistory();
    auto cycling = *kindsNamed("cycling");
    EXPECT_EQ(cycling.size(), 6u);
    expectSumsOfRecords(statistics(StatisticsPeriod::month, cycling), cycling);
    auto trail = *kindsNamed("trailRunning");
    expectSumsOfRecords(statistics(StatisticsPeriod::week, trail), trail);
    EXPECT_FALSE(kindsNamed("Cycling"));
    EXPECT_FALSE(kindsNamed(""));
    auto swimming = *kindsNamed("swimming");
    EXPECT_NE(std::find(swimming.begin(), swimming.end(), ActivityType::aquaJogging),
              swimming.end());
}

TEST_F(StatisticsTest, IsoWeeksTurnAtMondayMidnightAcrossDaylightSavingSwitches) {
    ScopedTimeZone berlin("Europe/Berlin");
    // Spring: the clocks went forward on Sunday 31 March 2024; autumn: back on 27 October.
    add(localTime(2024, 3, 31, 23, 59), "running", 1000);
    add(localTime(2024, 4, 1, 0, 0), "running", 2000);
    add(localTime(2024, 10, 27, 23, 59), "running", 4000);
    add(localTime(2024, 10, 28, 0, 0), "running", 8000);
    auto weeks = statistics(StatisticsPeriod::week);
    const auto& beforeSpring = periodLabelled(weeks, "2024-W13");
    EXPECT_EQ(beforeSpring.distance, 1000);
    EXPECT_EQ(beforeSpring.period.end - beforeSpring.period.start, 7 * 86400 - 3600);
    EXPECT_EQ(periodLabelled(weeks, "2024-W14").distance, 2000);
    const auto& beforeAutumn = periodLabelled(weeks, "2024-W43");
    EXPECT_EQ(beforeAutumn.distance, 4000);
    EXPECT_EQ(beforeAutumn.period.end - beforeAutumn.period.start, 7 * 86400 + 3600);
    EXPECT_EQ(periodLabelled(weeks, "2024-W44").distance, 8000);
    // 2024-03-31T22:00:00Z is Monday 00:00 in Berlin summer time.
    EXPECT_EQ(periodLabelled(weeks, "2024-W14").period.start, dateFromUnix(1711922400));
    expectSumsOfRecords(weeks);
}

TEST_F(StatisticsTest, LateOnNewYearsEveCountsInTheOldYearAndTheIsoWeekOfTheNewOne) {
    add(localTime(2024, 12, 31, 23, 30), "cycling", 5000);
    add(localTime(2025, 1, 1, 0, 0), "cycling", 7000);
    auto years = statistics(StatisticsPeriod::year);
    ASSERT_EQ(years.size(), 2u);
    EXPECT_EQ(periodLabelled(years, "2024").distance, 5000);
    EXPECT_EQ(periodLabelled(years, "2025").distance, 7000);
    auto months = statistics(StatisticsPeriod::month);
    EXPECT_EQ(periodLabelled(months, "2024-12").distance, 5000);
    // Tuesday 31 December 2024 lies in the first ISO week of 2025.
    auto weeks = statistics(StatisticsPeriod::week);
    ASSERT_EQ(weeks.size(), 1u);
    EXPECT_EQ(weeks[0].period.label, "2025-W01");
    EXPECT_EQ(weeks[0].distance, 12000);
}

TEST_F(StatisticsTest, MovingTimeFallsBackToTheDurationAndDeletedRecordsAreLeftOut) {
    add(localTime(2024, 5, 1, 8, 0), "walking", 1000, 0, 500);
    add(localTime(2024, 5, 2, 8, 0), "walking", 1000, 300, 500);
    add(localTime(2024, 5, 3, 8, 0), "walking", 1000, 300, 500)->deletedAt = now();
    auto months = statistics(StatisticsPeriod::month);
    ASSERT_EQ(months.size(), 1u);
    EXPECT_EQ(months[0].count, 2);
    EXPECT_EQ(months[0].movingTime, 800);
    EXPECT_EQ(months[0].distance, 2000);
}

TEST_F(StatisticsTest, RangeListsEmptyPeriodsBetweenAndCountsOnlyWhatLiesInside) {
    add(localTime(2024, 1, 10, 12, 0), "running", 1);
    add(localTime(2024, 3, 10, 12, 0), "running", 2);
    add(localTime(2024, 3, 20, 12, 0), "running", 4);
    add(localTime(2024, 6, 10, 12, 0), "running", 8);
    store->save();
    StatisticsQuery query;
    query.from = localTime(2024, 1, 1, 0, 0);
    query.before = localTime(2024, 3, 15, 0, 0);
    auto months = store->statistics(query);
    ASSERT_EQ(months.size(), 3u);
    EXPECT_EQ(months[0].distance, 1);
    EXPECT_EQ(months[1].count, 0);
    EXPECT_EQ(months[2].distance, 2);
    query.from = localTime(2025, 1, 1, 0, 0);
    query.before.reset();
    EXPECT_TRUE(store->statistics(query).empty());
    query.before = query.from;
    EXPECT_TRUE(store->statistics(query).empty());
}

TEST_F(StatisticsTest, CenturiesBetweenActivitiesListOnlyTheYearsThatHaveSome) {
    add(localTime(1700, 6, 1, 12, 0), "running", 1);
    add(localTime(2024, 6, 1, 12, 0), "running", 2);
    add(localTime(9999, 12, 31, 12, 0), "running", 4);
    auto weeks = statistics(StatisticsPeriod::week);
    EXPECT_EQ(weeks.size(), 3u);
    expectSumsOfRecords(weeks, {}, false);
}

TEST_F(StatisticsTest, YearToDateDistanceRunsDayByDayAndStopsToday) {
    setClockForTesting([] { return localTime(2025, 2, 10, 12, 0); });
    add(localTime(2024, 1, 1, 9, 0), "cycling", 1000);
    add(localTime(2024, 12, 31, 23, 30), "cycling", 500);
    add(localTime(2025, 2, 1, 9, 0), "cycling", 3000);
    add(localTime(2025, 2, 1, 18, 0), "running", 99);
    store->save();
    auto years = store->yearToDateDistance(*kindsNamed("cycling"));
    setClockForTesting({});
    ASSERT_EQ(years.size(), 2u);
    EXPECT_EQ(years[0].year, 2024);
    ASSERT_EQ(years[0].cumulativeDistance.size(), 366u);
    EXPECT_EQ(years[0].cumulativeDistance[0], 1000);
    EXPECT_EQ(years[0].cumulativeDistance[364], 1000);
    EXPECT_EQ(years[0].cumulativeDistance[365], 1500);
    EXPECT_EQ(years[1].year, 2025);
    ASSERT_EQ(years[1].cumulativeDistance.size(), 41u);
    EXPECT_EQ(years[1].cumulativeDistance[30], 0);
    EXPECT_EQ(years[1].cumulativeDistance[31], 3000);
    EXPECT_EQ(years[1].cumulativeDistance[40], 3000);
}

TEST_F(StatisticsTest, AnUnreadableStoreFailsWithAStoreError) {
    add(localTime(2024, 1, 10, 12, 0), "running", 1);
    store->save();
    test::executeSql(store->path(), "ALTER TABLE PersistedRide RENAME TO Elsewhere");
    EXPECT_THROW(store->statistics({}), StoreError);
}

}  // namespace
}  // namespace vantrel
