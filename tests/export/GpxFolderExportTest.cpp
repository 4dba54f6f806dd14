#include <gtest/gtest.h>

#include "export/ExportTestRides.h"
#include "export/GPXWriter.h"
#include "export/GpxFolderExport.h"
#include "logging/PersistentLogger.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using test::kMayFirst;

class GpxFolderExportTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    // A logger of this test's own: its session file lies in this test's folder.
    ScopedSharedLogger logSession;
    std::unique_ptr<RideStore> store = RideStore::open(environment.root() / "store.sqlite");
    std::filesystem::path chosen = environment.root() / "chosen";
    std::filesystem::path activities = chosen / "VantrelExport" / "activities";

    std::vector<RideRef> sameMinute(int count) {
        std::vector<RideRef> rides;
        for (int i = 0; i < count; ++i) {
            auto ride = std::make_shared<PersistedRide>(test::fullRide(kMayFirst + i * 10, 30));
            store->insert(ride);
            rides.push_back(ride);
        }
        store->save();
        return rides;
    }
};

TEST_F(GpxFolderExportTest, SameMinuteGetsNumberedNamesAndNothingIsOverwritten) {
    auto rides = sameMinute(3);
    std::string firstDocument = buildGPX(*rides[0]);
    std::vector<int> progress;
    auto result = exportGpxToFolder(*store, rides, chosen, PersistentLogger::shared(),
                                    [&](int done, int) { progress.push_back(done); });
    EXPECT_EQ(result.written, 3);
    EXPECT_EQ(result.folder, activities);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(test::readFileText(activities / "202405010730.gpx"), firstDocument);
    EXPECT_TRUE(std::filesystem::exists(activities / "202405010730_2.gpx"));
    EXPECT_TRUE(std::filesystem::exists(activities / "202405010730_3.gpx"));

    exportGpxToFolder(*store, {rides[0]}, chosen, PersistentLogger::shared());
    EXPECT_TRUE(std::filesystem::exists(activities / "202405010730_4.gpx"));
    EXPECT_EQ(test::readFileText(activities / "202405010730.gpx"), firstDocument);

    PersistentLogger::shared().flush();
    std::string log = test::readFileText(*PersistentLogger::shared().currentLogFile());
    EXPECT_NE(log.find("[INFO] [Export] Exported 3 ride(s) as GPX to VantrelExport/activities"),
              std::string::npos);
}

TEST_F(GpxFolderExportTest, AFullDiskIsLoggedAsAnErrorWithItsCause) {
    test::ScopedTmpfs disk(std::size_t{96} * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.skipReason();
    std::vector<RideRef> rides;
    for (int i = 0; i < 6; ++i) {
        auto ride = std::make_shared<PersistedRide>(test::fullRide(kMayFirst + i * 3600, 120));
        store->insert(ride);
        rides.push_back(ride);
    }
    store->save();
    auto result = exportGpxToFolder(*store, rides, disk.path(), PersistentLogger::shared());
    EXPECT_GT(result.failed, 0);
    EXPECT_EQ(result.written + result.failed, 6);
    PersistentLogger::shared().flush();
    std::string log = test::readFileText(*PersistentLogger::shared().currentLogFile());
    EXPECT_NE(log.find("[ERROR] [Export] GPX export could not write " +
                       std::to_string(result.failed) + " ride(s): "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("No space left on device"), std::string::npos) << log;
}

TEST_F(GpxFolderExportTest, RecordsFetchedWithoutDetailsAreWrittenInFull) {
    auto rides = sameMinute(1);
    std::string expected = buildGPX(*rides[0]);
    Uuid id = rides[0]->rideID;
    rides.clear();
    auto reopened = RideStore::open(environment.root() / "store.sqlite");
    auto light = reopened->allLiveActivities(false);
    ASSERT_EQ(light.size(), 1u);
    ASSERT_EQ(light[0]->rideID, id);
    exportGpxToFolder(*reopened, light, chosen, PersistentLogger::shared());
    EXPECT_EQ(test::readFileText(activities / "202405010730.gpx"), expected);
}

TEST_F(GpxFolderExportTest, CancellationStopsBeforeTheNextActivity) {
    auto rides = sameMinute(3);
    CancellationToken token;
    auto result = exportGpxToFolder(
        *store, rides, chosen, PersistentLogger::shared(),
        [&](int done, int) {
            if (done == 1) token.cancel();
        },
        &token);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.written, 1);
}

TEST_F(GpxFolderExportTest, UnwritableFolderIsCountedNotClaimed) {
    auto rides = sameMinute(2);
    test::writeFileBytes(chosen / "VantrelExport", bytesOf("a file, not a folder"));
    auto result = exportGpxToFolder(*store, rides, chosen, PersistentLogger::shared());
    EXPECT_EQ(result.written, 0);
    EXPECT_EQ(result.failed, 2);
    EXPECT_FALSE(result.firstFailure.empty());
}

TEST_F(GpxFolderExportTest, SingleFileReplacesTheTarget) {
    auto rides = sameMinute(1);
    auto file = environment.root() / "one.gpx";
    test::writeFileBytes(file, bytesOf("old"));
    exportGpxFile(*store, rides[0], file);
    EXPECT_EQ(test::readFileText(file), buildGPX(*rides[0]));
    for (const auto& entry : std::filesystem::directory_iterator(environment.root())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << "temporary file left behind";
    }
}

}  // namespace
}  // namespace vantrel
