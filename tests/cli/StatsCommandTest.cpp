#include <gtest/gtest.h>

#include "cli/CliRunner.h"
#include "model/Preferences.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

class StatsCommandTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";

    Result run(std::vector<std::string> args) { return runOnStore(storeFile, std::move(args)); }

    void addRide(double unixSeconds, const char* type, double distance, bool deleted = false) {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->date = dateFromUnix(unixSeconds);
        ride->activityType = type;
        ride->distance = distance;
        ride->activeTime = 1800;
        ride->duration = 2000;
        ride->elevationGain = 100;
        if (deleted) ride->deletedAt = ride->date;
        store->insert(ride);
        store->save();
    }

    void addHistory() {
        addRide(1704099600, "roadCycling", 40000);     // 2024-01-01T10:00+01:00, Monday
        addRide(1704621600, "running", 10000);         // 2024-01-07T11:00+01:00, Sunday
        addRide(1709373600, "mountainBiking", 20000);  // 2024-03-02T11:00+01:00
        addRide(1709460000, "cycling", 5000, true);    // deleted
    }
};

TEST_F(StatsCommandTest, PrintsMonthlyTotalsWithEmptyMonthsAndATotal) {
    addHistory();
    Preferences::shared().setString("unitSystem", "metric");
    auto result = run({"stats"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "period\tactivities\tdistance\tmoving time\televation gain\n"
              "2024-01\t2\t50.0 km\t1:00:00\t+200 m\n"
              "2024-02\t0\t0 m\t00:00\t+0 m\n"
              "2024-03\t1\t20.0 km\t30:00\t+100 m\n"
              "total\t3\t70.0 km\t1:30:00\t+300 m\n");
}

TEST_F(StatsCommandTest, KindGroupsRangeAndWeeksAsJSON) {
    addHistory();
    auto result = run({"stats", "--by", "week", "--kind", "cycling", "--kind", "running", "--from",
                       "2024-01-02", "--to", "2024-01-07", "--json"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"by\":\"week\",\"periods\":[{\"period\":\"2024-W01\","
              "\"start\":\"2023-12-31T23:00:00Z\",\"end\":\"2024-01-07T23:00:00Z\",\"count\":1,"
              "\"distance\":10000,\"movingTime\":1800,\"elevationGain\":100}]}\n");
    auto cycling = run({"stats", "--by", "year", "--kind", "cycling", "--json"});
    EXPECT_NE(cycling.out.find("\"count\":2,\"distance\":60000"), std::string::npos) << cycling.out;
}

TEST_F(StatsCommandTest, EmptyStoreGivesOnlyTheTotal) {
    auto result = run({"stats", "--json"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "{\"by\":\"month\",\"periods\":[]}\n");
}

TEST_F(StatsCommandTest, BadOptionsAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"stats", "--by", "day"},
             {"stats", "--kind", "Cycling"},
             {"stats", "--from", "2024-02-30"},
             {"stats", "--to", "2024-1-1"},
             {"stats", "--from", "2024-03-01", "--to", "2024-02-28"},
             {"stats", "--kind"},
             {"stats", "extra"}}) {
        auto result = run(args);
        EXPECT_EQ(result.status, 1) << args.back();
        EXPECT_NE(result.err.find("vantrel-cli: "), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_NE(run({"stats", "--by", "fortnight"}).err.find("--by needs week, month or year"),
              std::string::npos);
}

TEST_F(StatsCommandTest, LastDayOfTheMonthIsIncludedByTo) {
    addRide(1709204400, "running", 3000);  // 2024-02-29T12:00+01:00
    auto result = run({"stats", "--to", "2024-02-29", "--json"});
    EXPECT_NE(result.out.find("\"count\":1"), std::string::npos) << result.out << result.err;
}

}  // namespace
}  // namespace vantrel::cli
