#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/TestRoutes.h"
#include "import/ActivityImporter.h"
#include "model/Base64.h"
#include "model/RideStore.h"
#include "services/RideTrimService.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using namespace RideTrimService;
using test::heartRateAt;
using test::kRideStart;
using test::pointAt;

constexpr double kDay = 86'400;
constexpr Date kTrimTime = kRideStart + 10 * kDay;

std::vector<PowerSample> powerAlong(const std::vector<RoutePoint>& route) {
    std::vector<PowerSample> power;
    for (const auto& point : route) {
        power.push_back({Uuid::random(), point.timestamp, 150 + std::fmod(point.timestamp, 100.0)});
    }
    return power;
}

/// 30 minutes moving, a 20-minute pause, 10 more minutes; heart rate and power throughout.
PersistedRide rideWithLongPause() {
    std::vector<RoutePoint> route;
    for (int i = 0; i <= 180; ++i)
        route.push_back(pointAt(50.0 * i, kRideStart + 10.0 * i, 400 + i));
    Date resume = kRideStart + 1800 + 1200;
    for (int i = 0; i <= 60; ++i) route.push_back(pointAt(9000 + 50.0 * i, resume + 10.0 * i, 580));
    PersistedRide ride;
    ride.date = kRideStart;
    ride.setRoutePoints(route);
    ride.setHeartRateSamples(test::heartRateEvery(route, 140));
    ride.setPowerSamples(powerAlong(route));
    ride.duration = route.back().timestamp - kRideStart;
    ride.distance = 12'000;
    ride.elevationGain = 180;
    ride.activeTime = 2400;
    ride.averageHeartRate = 140;
    ride.maxHeartRate = 140;
    ride.averagePower = 199;
    ride.maxPower = 249;
    ride.averageCadence = 88;
    ride.calories = 900;
    return ride;
}

TEST(TrimBackupJson, WritesTheTwelveFieldsAndReadsThemInAnyOrder) {
    PreTrimBackup backup;
    backup.routeData = bytesOf("route");
    backup.duration = 3600.5;
    backup.averageCadence = 88;
    std::string json = textOf(encodeBackup(backup));
    EXPECT_NE(json.find("\"routeData\":\"" + base64Encode(bytesOf("route")) + "\""),
              std::string::npos);
    EXPECT_EQ(json.find("heartRateData"), std::string::npos);
    EXPECT_NE(json.find("\"averageCadence\":88"), std::string::npos);
    EXPECT_EQ(decodeBackup(bytesOf(json)), backup);

    std::string reordered =
        R"({"maxPower":1,"averagePower":2,"maxHeartRate":3,"averageHeartRate":4,"activeTime":5,)"
        R"("elevationGain":6,"distance":7,"duration":8,"averageCadence":9,"powerData":"AAE=",)"
        R"("heartRateData":null})";
    auto read = decodeBackup(bytesOf(reordered));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->powerData, (Bytes{0, 1}));
    EXPECT_EQ(read->heartRateData, std::nullopt);
    EXPECT_EQ(read->duration, 8);
}

TEST(TrimBackupJson, RejectsMissingNumbersAndMalformedText) {
    std::string complete = textOf(encodeBackup({}));
    EXPECT_TRUE(decodeBackup(bytesOf(complete)));
    std::string withoutDistance = complete;
    withoutDistance.replace(withoutDistance.find("\"distance\":0,"), 13, "");
    EXPECT_FALSE(decodeBackup(bytesOf(withoutDistance)));
    EXPECT_FALSE(decodeBackup(bytesOf("[1,2]")));
    EXPECT_FALSE(decodeBackup(bytesOf("")));
    EXPECT_FALSE(decodeBackup(bytesOf(complete.substr(0, complete.size() / 2))));
    std::string badBase64 = "{\"routeData\":\"@@\"," + complete.substr(1);
    EXPECT_FALSE(decodeBackup(bytesOf(badBase64)));
    std::string textNumber = complete;
    textNumber.replace(textNumber.find("\"duration\":0"), 12, "\"duration\":\"0\"");
    EXPECT_FALSE(decodeBackup(bytesOf(textNumber)));
}

TEST(CutTime, RunsOverActiveTimeAndNeverLandsInAPause) {
    PersistedRide ride = rideWithLongPause();
    EXPECT_EQ(cutTime(ride, 0), kRideStart);
    EXPECT_EQ(cutTime(ride, 1), kRideStart + 3600);
    EXPECT_EQ(cutTime(ride, 1.7), kRideStart + 3600);
    EXPECT_EQ(cutTime(ride, std::nan("")), kRideStart);
    EXPECT_DOUBLE_EQ(cutTime(ride, 0.5), kRideStart + 1200);
    EXPECT_DOUBLE_EQ(cutTime(ride, 0.8), kRideStart + 3000 + 120);
    for (double progress = 0; progress <= 1; progress += 0.001) {
        Date cut = cutTime(ride, progress);
        ASSERT_FALSE(cut > kRideStart + 1800 && cut < kRideStart + 3000) << progress;
    }
}

TEST(CutTime, WithoutARouteRunsOverWallClockTime) {
    PersistedRide indoor;
    indoor.date = kRideStart;
    indoor.duration = 4000;
    indoor.setHeartRateSamples(
        {heartRateAt(kRideStart + 300, 120), heartRateAt(kRideStart + 2000, 130)});
    indoor.setPowerSamples(
        {{Uuid::random(), kRideStart + 200, 200}, {Uuid::random(), kRideStart + 1000, 210}});
    // From the first power sample to date + duration, the later end.
    EXPECT_DOUBLE_EQ(cutTime(indoor, 0.5), kRideStart + 200 + 0.5 * 3800);
    indoor.duration = 100;
    EXPECT_DOUBLE_EQ(cutTime(indoor, 1), kRideStart + 2000);
    PersistedRide empty;
    empty.date = kRideStart;
    EXPECT_EQ(cutTime(empty, 0.3), kRideStart);
}

class Trimming : public ::testing::Test {
  protected:
    PersistedRide ride = rideWithLongPause();
};

TEST_F(Trimming, AtProgressZeroKeepsOnlyTheFirstPoint) {
    ride.date = kRideStart - 60;
    ASSERT_TRUE(trim(ride, cutTime(ride, 0), kTrimTime));
    EXPECT_EQ(ride.routePoints().size(), 1u);
    EXPECT_EQ(ride.distance, 0);
    EXPECT_EQ(ride.activeTime, 0);
    EXPECT_EQ(ride.elevationGain, 0);
    EXPECT_EQ(ride.duration, 60);
    EXPECT_EQ(ride.heartRateSamples().size(), 1u);
    EXPECT_EQ(ride.averageCadence, 0);
    EXPECT_EQ(ride.calories, 900);
}

TEST_F(Trimming, RecomputesEveryStatisticFromTheKeptSamples) {
    Date cut = cutTime(ride, 0.5);  // 20 minutes in, before the pause
    ASSERT_TRUE(trim(ride, cut, kTrimTime));
    EXPECT_EQ(ride.routePoints().size(), 121u);  // the point at the cut stays
    EXPECT_NEAR(ride.distance, 6000, 0.01);
    EXPECT_EQ(ride.activeTime, 1200);
    EXPECT_EQ(ride.duration, 1200);
    EXPECT_EQ(ride.elevationGain, 120);
    EXPECT_EQ(ride.averageHeartRate, 140);
    EXPECT_EQ(ride.heartRateSamples().size(), 121u);
    EXPECT_EQ(ride.maxPower, 240);
    EXPECT_EQ(ride.averageCadence, 0);
    EXPECT_EQ(ride.calories, 900);
    EXPECT_EQ(ride.trimmedAt, kTrimTime);
    ASSERT_TRUE(ride.preTrimBackup);
}

TEST_F(Trimming, ElevationGainIgnoresChangesOfTwoMetresOrLess) {
    ride.setRoutePoints({pointAt(0, kRideStart, 100), pointAt(10, kRideStart + 10, 101.5),
                         pointAt(20, kRideStart + 20, 103), pointAt(30, kRideStart + 30, 106)});
    ASSERT_TRUE(trim(ride, kRideStart + 30, kTrimTime));
    EXPECT_EQ(ride.elevationGain, 6);
}

TEST_F(Trimming, AtProgressOneKeepsEverythingButStillBacksUp) {
    auto route = ride.routePoints();
    ASSERT_TRUE(trim(ride, cutTime(ride, 1), kTrimTime));
    EXPECT_EQ(ride.routePoints(), route);
    EXPECT_EQ(ride.activeTime, 2400);
    EXPECT_TRUE(ride.preTrimBackup);
    EXPECT_EQ(ride.trimmedAt, kTrimTime);
}

TEST_F(Trimming, UndoRestoresAllValuesAndStoredBytesExactly) {
    PersistedRide original = ride;
    ASSERT_TRUE(trim(ride, cutTime(ride, 0.3), kTrimTime));
    EXPECT_FALSE(ride.sameValues(original));
    ASSERT_TRUE(undoTrim(ride, kTrimTime + kDay));
    EXPECT_TRUE(ride.sameValues(original));
    EXPECT_EQ(ride.routeData, original.routeData);
    EXPECT_EQ(ride.powerData, original.powerData);
    EXPECT_FALSE(ride.preTrimBackup);
    EXPECT_FALSE(ride.trimmedAt);
    EXPECT_FALSE(undoTrim(ride, kTrimTime + kDay));
}

TEST_F(Trimming, TwoTrimsAndOneUndoGiveTheStateAfterTheFirst) {
    ASSERT_TRUE(trim(ride, cutTime(ride, 0.8), kTrimTime));
    PersistedRide afterFirst = ride;
    ASSERT_TRUE(trim(ride, cutTime(ride, 0.5), kTrimTime + 60));
    ASSERT_TRUE(undoTrim(ride, kTrimTime + 120));
    afterFirst.preTrimBackup.reset();
    afterFirst.trimmedAt.reset();
    EXPECT_TRUE(ride.sameValues(afterFirst));
}

TEST_F(Trimming, UndoLastsThirtyDaysAndThePurgeKeepsTheTrimDate) {
    PersistedRide original = ride;
    ASSERT_TRUE(trim(ride, cutTime(ride, 0.5), kTrimTime));
    EXPECT_TRUE(canUndoTrim(ride, kTrimTime + 30 * kDay - 3600));
    EXPECT_FALSE(canUndoTrim(ride, kTrimTime + 30 * kDay));
    PersistedRide expired = ride;
    EXPECT_FALSE(undoTrim(expired, kTrimTime + 30 * kDay));
    EXPECT_TRUE(expired.sameValues(ride));

    purgeExpiredBackup(ride, kTrimTime + 30 * kDay - 1);
    EXPECT_TRUE(ride.preTrimBackup);
    purgeExpiredBackup(ride, kTrimTime + 30 * kDay);
    EXPECT_FALSE(ride.preTrimBackup);
    EXPECT_EQ(ride.trimmedAt, kTrimTime);
    EXPECT_FALSE(canUndoTrim(ride, kTrimTime));
    EXPECT_FALSE(canUndoTrim(original, kTrimTime));
}

TEST_F(Trimming, ABackupThatDoesNotDecodeChangesNothing) {
    ASSERT_TRUE(trim(ride, cutTime(ride, 0.5), kTrimTime));
    ride.preTrimBackup = bytesOf("{\"duration\":1}");
    PersistedRide before = ride;
    EXPECT_FALSE(undoTrim(ride, kTrimTime + 1));
    EXPECT_TRUE(ride.sameValues(before));
}

TEST_F(Trimming, NonFiniteStatisticsDoNotCostTheUndo) {
    ride.averageHeartRate = std::numeric_limits<double>::quiet_NaN();
    Bytes route = *ride.routeData;
    ASSERT_TRUE(trim(ride, cutTime(ride, 0.5), kTrimTime));
    ASSERT_TRUE(ride.preTrimBackup);
    ASSERT_TRUE(undoTrim(ride, kTrimTime + 1));
    EXPECT_EQ(ride.routeData, route);
    EXPECT_EQ(ride.averageHeartRate, 0);
}

TEST_F(Trimming, ASeriesThatDoesNotDecodeIsNeverCut) {
    ride.heartRateData = bytesOf("[{\"broken\":");
    PersistedRide before = ride;
    EXPECT_FALSE(trim(ride, cutTime(ride, 0.5), kTrimTime));
    EXPECT_TRUE(ride.sameValues(before));
}

TEST(TrimThroughTheStore, TrimAndUndoOfARealRecordingRoundTripTheStoredFile) {
    test::IsolatedEnvironment environment;
    const char* name = "fitparse__garmin-edge-500-activity.fit";
    PersistedRide imported =
        importActivityFile(test::readFileBytes(test::corpusFile(name)), name, std::nullopt);
    imported.setPowerSamples(powerAlong(imported.routePoints()));
    imported.averagePower = 190;
    auto path = environment.root() / "store.sqlite";
    Uuid rideID = imported.rideID;
    {
        auto store = RideStore::open(path);
        store->insert(std::make_shared<PersistedRide>(imported));
        store->save();
    }
    PersistedRide original = *RideStore::open(path)->fetchByRideID(rideID);
    {
        auto store = RideStore::open(path);
        auto ride = store->fetchByRideID(rideID);
        ASSERT_TRUE(trim(*ride, cutTime(*ride, 0.4), kTrimTime));
        store->save();
    }
    {
        auto store = RideStore::open(path);
        auto ride = store->fetchByRideID(rideID);
        EXPECT_LT(ride->duration, original.duration);
        EXPECT_EQ(ride->calories, original.calories);
        ASSERT_TRUE(undoTrim(*ride, kTrimTime + kDay));
        store->save();
    }
    auto restored = RideStore::open(path)->fetchByRideID(rideID);
    EXPECT_TRUE(restored->sameValues(original));
    EXPECT_EQ(restored->routeData, original.routeData);
    EXPECT_EQ(restored->heartRateData, original.heartRateData);
    EXPECT_EQ(restored->powerData, original.powerData);
}

TEST(TrimTexts, ConfirmationStatesTheKeptDuration) {
    PersistedRide ride = rideWithLongPause();
    ride.date = kRideStart - 600;
    EXPECT_EQ(trimConfirmationMessage(ride, 0.5),
              "Keep only the first 30:00 of this activity. Route, heart rate, and power data "
              "after that point will be removed.\n\nYou can Undo Trim for 30 days.");
    ride.date = kRideStart + 600;
    EXPECT_EQ(trimConfirmationMessage(ride, 0).substr(0, 26), "Keep only the first 00:00 ");
    EXPECT_EQ(trimConfirmationMessage(ride, std::nullopt),
              "Everything after the scrubber position will be removed.");
    EXPECT_EQ(trimConfirmationTitle(), "Trim This Activity?");
    EXPECT_EQ(undoTrimTitle(), "Undo Trim?");
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// A ride imported from a power meter's file, cut in half and restored.
TEST(RideTrimPower, TrimOfAnImportedRideWithPowerAndItsUndo) {
    const char* name = "fitparse__zwift-null-compressed-speed-dist.fit";
    PersistedRide ride =
        importActivityFile(test::readFileBytes(test::corpusFile(name)), name, std::nullopt);
    PersistedRide original = ride;
    Date cut = RideTrimService::cutTime(ride, 0.5);
    ASSERT_TRUE(RideTrimService::trim(ride, cut, kRideStart));

    auto kept = ride.powerSamples();
    ASSERT_FALSE(kept.empty());
    EXPECT_LT(kept.size(), original.powerSamples().size());
    double sum = 0, maximum = 0;
    for (const auto& sample : kept) {
        EXPECT_LE(sample.timestamp, cut);
        sum += sample.watts;
        maximum = std::max(maximum, sample.watts);
    }
    EXPECT_DOUBLE_EQ(ride.averagePower, sum / double(kept.size()));
    EXPECT_EQ(ride.maxPower, maximum);
    // Cadence has no series to recompute it from.
    EXPECT_EQ(ride.averageCadence, 0);

    ASSERT_TRUE(RideTrimService::undoTrim(ride, kRideStart + 60));
    EXPECT_EQ(ride.averageCadence, original.averageCadence);
    EXPECT_EQ(ride.powerData, original.powerData);
    EXPECT_EQ(ride.averagePower, original.averagePower);
    EXPECT_EQ(ride.maxPower, original.maxPower);
}

}  // namespace
}  // namespace vantrel
