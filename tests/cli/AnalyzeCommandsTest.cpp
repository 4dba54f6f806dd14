#include <gtest/gtest.h>
#include <simdjson.h>

#include <sstream>

#include "analysis/TestRoutes.h"
#include "cli/CliRunner.h"
#include "model/Preferences.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

using test::kRideStart;
using test::pointAt;

/// 20 minutes at 5 m/s, a 5-minute stop, 10 more minutes; heart rate every 10 s.
PersistedRide rideWithStop() {
    std::vector<RoutePoint> route;
    for (int i = 0; i <= 120; ++i)
        route.push_back(pointAt(50.0 * i, kRideStart + 10.0 * i, 300 + i));
    for (int i = 0; i <= 60; ++i)
        route.push_back(pointAt(6000 + 50.0 * i, kRideStart + 1500 + 10.0 * i, 420));
    PersistedRide ride;
    ride.date = kRideStart;
    ride.setRoutePoints(route);
    ride.setHeartRateSamples(test::heartRateEvery(route, 150));
    ride.duration = 2100;
    ride.distance = 9000;
    ride.activeTime = 1800;
    ride.averageHeartRate = 150;
    ride.maxHeartRate = 150;
    ride.averageCadence = 80;
    return ride;
}

class AnalyzeCommandsTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";
    std::string rideID;

    void SetUp() override {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>(rideWithStop());
        rideID = ride->rideID.toString();
        store->insert(ride);
        store->save();
    }

    Result run(std::vector<std::string> args, const std::string& input = "",
               bool terminal = false) {
        return runOnStore(storeFile, std::move(args), input, terminal);
    }

    PersistedRide stored() {
        return *RideStore::open(storeFile)->fetchByRideID(*Uuid::parse(rideID));
    }
};

TEST_F(AnalyzeCommandsTest, JsonHasSegmentsSplitsAndSpeedsInMetricUnits) {
    auto result = run({"analyze", rideID, "--json", "--split", "1000m"});
    ASSERT_EQ(result.status, 0) << result.err;
    simdjson::dom::parser parser;
    simdjson::dom::element json = parser.parse(result.out);
    simdjson::dom::array segments = json["segments"];
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(double(segments.at(1)["start"]), kRideStart + 1500);
    EXPECT_EQ(double(segments.at(1)["end"]), kRideStart + 2100);
    simdjson::dom::array splits = json["splits"];
    ASSERT_EQ(splits.size(), 9u);
    EXPECT_EQ(int64_t(splits.at(0)["number"]), 1);
    EXPECT_NEAR(double(splits.at(0)["pace"]), 200, 1e-3);
    EXPECT_NEAR(double(splits.at(0)["elevationChange"]), 20, 1e-3);
    EXPECT_NEAR(double(json["averageSpeed"]), 5.0, 1e-9);
    EXPECT_NEAR(double(json["maxSpeed"]), 5.0, 1e-3);
    EXPECT_NEAR(double(json["averagePace"]), 200, 1e-3);
    EXPECT_NEAR(double(json["averagePacePerKm"]), 200, 1e-6);
}

TEST_F(AnalyzeCommandsTest, TextFollowsTheUnitSystemAndTheRememberedSplit) {
    Preferences::shared().setString("unitSystem", "metric");
    Preferences::shared().setString("splitDistance_" + rideID, "400m");
    auto result = run({"analyze", rideID});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Active segments: 2"), std::string::npos);
    EXPECT_NE(result.out.find("Splits (400m): 23"), std::string::npos);
    EXPECT_NE(result.out.find("  Split\t400m\tSeconds\tElevation\n  1\t1:"), std::string::npos);
    // 80 s, give or take the last bit of the geodesic steps; the formatted pace truncates.
    EXPECT_NE(result.out.find("\t80.0\t+8 m\n  2\t"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Average Speed: 18.0 km/h"), std::string::npos);
    EXPECT_NE(result.out.find("Max Speed: 18.0 km/h"), std::string::npos);
}

TEST_F(AnalyzeCommandsTest, BadArgumentsAreRefusedClearly) {
    auto badSplit = run({"analyze", rideID, "--split", "furlong"});
    EXPECT_EQ(badSplit.status, 1);
    EXPECT_NE(badSplit.err.find("furlong"), std::string::npos);
    EXPECT_EQ(run({"analyze", "not-an-id"}).status, 1);
    auto unknown = run({"analyze", Uuid::random().toString()});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("no activity"), std::string::npos);
    EXPECT_EQ(run({"trim", rideID, "--at", "1.5", "--yes"}).status, 1);
    EXPECT_EQ(run({"trim", rideID, "--at", "half", "--yes"}).status, 1);
    EXPECT_EQ(run({"trim", rideID, "--yes"}).status, 1);
}

TEST_F(AnalyzeCommandsTest, TrimWithoutATerminalNeedsYes) {
    auto refused = run({"trim", rideID, "--at", "0.5"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("Trim This Activity?\nKeep only the first 15:00 of this activity."),
              std::string::npos);
    EXPECT_NE(refused.err.find("--yes"), std::string::npos);
    EXPECT_FALSE(stored().trimmedAt);
}

TEST_F(AnalyzeCommandsTest, TrimAsksOnATerminal) {
    EXPECT_EQ(run({"trim", rideID, "--at", "0.5"}, "n\n", true).status, 1);
    EXPECT_FALSE(stored().trimmedAt);
    auto accepted = run({"trim", rideID, "--at", "0.5"}, "y\n", true);
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_EQ(stored().duration, 900);
}

TEST_F(AnalyzeCommandsTest, TrimThenUndoRestoresTheStoredRecord) {
    PersistedRide original = stored();
    auto trimmed = run({"trim", rideID, "--at", "0.8", "--yes"});
    ASSERT_EQ(trimmed.status, 0) << trimmed.err;
    PersistedRide afterTrim = stored();
    EXPECT_EQ(afterTrim.duration, 1500 + 240);
    EXPECT_EQ(afterTrim.averageCadence, 0);
    EXPECT_TRUE(afterTrim.preTrimBackup);

    auto undone = run({"undo-trim", rideID});
    ASSERT_EQ(undone.status, 0) << undone.err;
    EXPECT_TRUE(stored().sameValues(original));
    auto again = run({"undo-trim", rideID});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("has not been trimmed"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::cli

namespace vantrel::cli {
namespace {

// A Zwift ride imported as a user would, then analysed and listed among the records.
TEST(PowerCommands, AnalyzeAndRecordsGivePowerFiguresOfAnImportedRide) {
    test::IsolatedEnvironment environment;
    auto storeFile = environment.root() / "store.sqlite";
    auto file = test::corpusFile("fitparse__zwift-null-compressed-speed-dist.fit");
    ASSERT_EQ(runOnStore(storeFile, {"import", file.string()}).status, 0);
    std::string id = RideStore::open(storeFile)->allRecords().front()->rideID.toString();

    auto result = runOnStore(storeFile, {"analyze", id, "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    simdjson::dom::parser parser;
    simdjson::dom::element power = parser.parse(result.out)["power"];
    // Average and maximum as the FIT SDK reads the file.
    EXPECT_NEAR(double(power["averagePower"]), 122.8645, 5e-5);
    EXPECT_EQ(double(power["maxPower"]), 691);
    double np = power["normalizedPower"];
    EXPECT_GT(np, 122.8645);
    EXPECT_LT(np, 691);
    EXPECT_LE(double(power["power5s"]), 691);
    EXPECT_GE(double(power["power20min"]), 122.8645);
    EXPECT_TRUE(power["power60min"].is_null());  // a 30-minute ride
    simdjson::dom::array curve = power["curve"];
    ASSERT_GT(curve.size(), 10u);
    EXPECT_EQ(double(curve.at(0)["seconds"]), 1);
    // The curve never rises with duration.
    double previous = 1e9;
    for (auto point : curve) {
        EXPECT_LE(double(point["watts"]), previous + 1e-9);
        previous = point["watts"];
    }

    auto records = runOnStore(storeFile, {"records", "--json"});
    ASSERT_EQ(records.status, 0) << records.err;
    simdjson::dom::parser recordsParser;
    bool listed = false;
    for (auto entry : simdjson::dom::array(recordsParser.parse(records.out))) {
        if (std::string_view(entry["record"]) != "power5s") continue;
        listed = true;
        EXPECT_EQ(std::string_view(entry["unit"]), "W");
        EXPECT_EQ(double(entry["value"]), double(power["power5s"]));
    }
    EXPECT_TRUE(listed);
}

TEST(PowerCommands, AnalyzeSaysNullWithoutPower) {
    test::IsolatedEnvironment environment;
    auto storeFile = environment.root() / "store.sqlite";
    auto store = RideStore::open(storeFile);
    auto ride = std::make_shared<PersistedRide>(rideWithStop());
    store->insert(ride);
    store->save();
    auto result = runOnStore(storeFile, {"analyze", ride->rideID.toString(), "--json"});
    simdjson::dom::parser parser;
    EXPECT_TRUE(parser.parse(result.out)["power"].is_null());
}

}  // namespace
}  // namespace vantrel::cli
