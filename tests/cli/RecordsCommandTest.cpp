#include <gtest/gtest.h>
#include <simdjson.h>

#include "analysis/RecordsCache.h"
#include "analysis/TestRoutes.h"
#include "cli/CliRunner.h"
#include "model/Preferences.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

using test::kRideStart;
using test::pointAt;

/// 5 km at 5:00/km, then 5 km at 4:00/km; a point every 5 seconds.
PersistedRide runWithFastFinish() {
    std::vector<RoutePoint> route;
    double position = 0;
    Date time = kRideStart;
    route.push_back(pointAt(position, time));
    for (int i = 0; i < 300; ++i) route.push_back(pointAt(position += 5000.0 / 300, time += 5));
    for (int i = 0; i < 240; ++i) route.push_back(pointAt(position += 5000.0 / 240, time += 5));
    PersistedRide ride;
    ride.date = kRideStart;
    ride.activityType = "running";
    ride.setRoutePoints(route);
    ride.duration = 2700;
    ride.activeTime = 2700;
    ride.distance = 10000;
    return ride;
}

PersistedRide roadRide() {
    PersistedRide ride;
    ride.date = kRideStart + 86400;
    ride.activityType = "roadCycling";
    ride.setRoutePoints(test::steadyRoute(301, 10, 80, ride.date));
    ride.duration = 3000;
    ride.distance = 24000;
    ride.elevationGain = 420;
    return ride;
}

class RecordsCommandTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";
    std::string runID, rideID;

    void SetUp() override {
        auto store = RideStore::open(storeFile);
        auto run = std::make_shared<PersistedRide>(runWithFastFinish());
        auto ride = std::make_shared<PersistedRide>(roadRide());
        runID = run->rideID.toString();
        rideID = ride->rideID.toString();
        store->insert(run);
        store->insert(ride);
        store->save();
        Preferences::shared().setString("unitSystem", "metric");
    }

    Result run(std::vector<std::string> args, const std::string& input = "",
               bool terminal = false) {
        return runOnStore(storeFile, std::move(args), input, terminal);
    }

    /// The value of one record in the JSON output; absent when the record is not listed.
    std::optional<double> recordValue(const std::string& record,
                                      std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"records", "--json"});
        auto result = run(args);
        EXPECT_EQ(result.status, 0) << result.err;
        simdjson::dom::parser parser;
        simdjson::dom::array records = parser.parse(result.out);
        for (auto entry : records) {
            if (std::string_view(entry["record"]) == record) return double(entry["value"]);
        }
        return std::nullopt;
    }
};

TEST_F(RecordsCommandTest, ListsEachRecordWithItsActivity) {
    auto result = run({"records"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Fastest 5 km\t20:00\t2023-03-08T20:26:40Z\t" + runID + "\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Longest distance\t24.0 km\t"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Largest elevation gain\t+420 m\t"), std::string::npos);
    EXPECT_NE(result.out.find("Fastest 20 km\t41:40\t"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Fastest 1 km\t04:00\t"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("Fastest half marathon"), std::string::npos);
}

TEST_F(RecordsCommandTest, KindsAndGroupsNarrowTheRecords) {
    EXPECT_FALSE(recordValue("fastest5km", {"--kind", "cycling"}));
    EXPECT_EQ(recordValue("longestDuration", {"--kind", "cycling"}), 3000);
    EXPECT_EQ(recordValue("longestDuration", {"--kind", "running"}), 2700);
    EXPECT_EQ(recordValue("longestDuration", {"--kind", "trailRunning", "--kind", "roadCycling"}),
              3000);
    EXPECT_FALSE(recordValue("longestDuration", {"--kind", "swimming"}));

    auto bad = run({"records", "--kind", "Cycling"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("not \"Cycling\""), std::string::npos) << bad.err;
    EXPECT_EQ(run({"records", "extra"}).status, 1);
}

TEST_F(RecordsCommandTest, ARideTypedAsARunIsNoRunningRecordAndIsLoggedOncePerFill) {
    ScopedSharedLogger logSession;
    {
        auto store = RideStore::open(storeFile);
        auto mislabelled = std::make_shared<PersistedRide>(roadRide());
        mislabelled->date = kRideStart + 2 * 86400;
        mislabelled->activityType = "running";
        store->insert(mislabelled);
        store->save();
    }
    // 80 m every 10 s is 28.8 km/h: 1 km in 125 s beats the world record on foot (400 m in
    // 50 s does not, and stays a record).
    EXPECT_NEAR(*recordValue("fastest1km"), 240, 0.5);
    EXPECT_NEAR(*recordValue("fastest5km"), 1200, 0.5);
    auto result = run({"records", "--json"});
    simdjson::dom::parser parser;
    simdjson::dom::array records = parser.parse(result.out);
    EXPECT_EQ(std::string_view(records.at(0)["counts"]), "Running and walking");
    std::string log = test::sessionLogText();
    std::string line = "[Records] Skipped 5 best efforts faster than a person can go";
    auto first = log.find(line);
    EXPECT_NE(first, std::string::npos) << log;
    // Three fills, three lines: one each, not one per window or per record.
    std::size_t lines = 0;
    for (auto at = first; at != std::string::npos; at = log.find(line, at + 1)) ++lines;
    EXPECT_EQ(lines, 3u);
}

TEST_F(RecordsCommandTest, TrimAndUndoChangeTheRecords) {
    EXPECT_NEAR(*recordValue("fastest5km"), 1200, 1e-6);
    // Cutting at half the active time leaves 4.5 km, all but the fast finish gone.
    ASSERT_EQ(run({"trim", runID, "--at", "0.5", "--yes"}).status, 0);
    EXPECT_FALSE(recordValue("fastest5km"));
    EXPECT_NEAR(*recordValue("fastest1km"), 300, 1e-6);
    ASSERT_EQ(run({"undo-trim", runID}).status, 0);
    EXPECT_NEAR(*recordValue("fastest5km"), 1200, 1e-6);
    EXPECT_NEAR(*recordValue("fastest1km"), 240, 1e-6);
}

TEST_F(RecordsCommandTest, ADeletedCacheIsRebuiltAndATerminalSeesProgress) {
    ASSERT_TRUE(recordValue("fastest5km"));
    auto cacheFile = RecordsCache::fileFor(storeFile);
    ASSERT_TRUE(std::filesystem::exists(cacheFile));
    std::filesystem::remove(cacheFile);
    std::filesystem::remove(cacheFile.string() + "-wal");
    auto result = run({"records"}, "", true);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("Measuring routes… 2 of 2"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("Fastest 5 km\t20:00"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(cacheFile));
}

}  // namespace
}  // namespace vantrel::cli
