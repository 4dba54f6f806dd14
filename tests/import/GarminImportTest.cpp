#include <gtest/gtest.h>

#include <filesystem>

#include "import/GarminImportService.h"
#include "import/ZipTestArchive.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::makeGpx;
using test::ZipTestArchive;

constexpr double kStart = 1714548615;  // 2024-05-01T07:30:15Z
constexpr double kDay = 86400;

std::string summaryJson(double unixStart, const std::string& type, const std::string& extra = "") {
    return "{\"activityId\": 1, \"activityType\": \"" + type +
           "\", \"beginTimestamp\": " + std::to_string(static_cast<long long>(unixStart * 1000)) +
           extra + "}";
}

std::string summaryFile(const std::vector<std::string>& activities) {
    std::string list;
    for (const auto& activity : activities) list += (list.empty() ? "" : ",") + activity;
    return "[{\"summarizedActivitiesExport\": [" + list + "]}]";
}

class GarminImportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store = RideStore::open(env.root() / "store.sqlite");
        fs::create_directories(uploads());
        fs::create_directories(fitness());
    }

    fs::path root() const { return env.root() / "export"; }
    fs::path uploads() const { return root() / "DI_CONNECT" / "DI-Connect-Uploaded-Files"; }
    fs::path fitness() const { return root() / "DI_CONNECT" / "DI-Connect-Fitness"; }

    void writeSummaries(const std::string& name, const std::string& json) {
        test::writeFileBytes(fitness() / name, bytesOf(json));
    }

    BulkImportResult runImport(bool replace) {
        GarminFolders folders = locateGarminFolders(root());
        auto summaries = loadGarminActivities(*folders.fitnessFolder);
        return importGarminExport(*store, listGarminArchives(*folders.uploadsFolder), summaries,
                                  replace, BulkImportOptions(PersistentLogger::shared()));
    }

    std::vector<RideRef> ridesByDate() {
        RideQuery query;
        query.order = RideQuery::Order::dateAscending;
        query.withDetails = false;
        return store->fetch(query);
    }

    test::IsolatedEnvironment env;
    // A logger of this test's own: its session file lies in this test's folder.
    ScopedSharedLogger logSession;
    std::unique_ptr<RideStore> store;
};

TEST_F(GarminImportTest, FoldersAreFoundOnlyFromTheTopLevelExportFolder) {
    GarminFolders folders = locateGarminFolders(root());
    EXPECT_EQ(folders.uploadsFolder, uploads());
    EXPECT_EQ(folders.fitnessFolder, fitness());
    EXPECT_FALSE(locateGarminFolders(root() / "DI_CONNECT").uploadsFolder);
    fs::remove_all(fitness());
    folders = locateGarminFolders(root());
    EXPECT_TRUE(folders.uploadsFolder);
    EXPECT_FALSE(folders.fitnessFolder);
}

TEST_F(GarminImportTest, ArchivesAreListedInPlainTextOrderWithoutRecursion) {
    for (const char* name : {"UploadedFiles_0-_Part2.zip", "UploadedFiles_0-_Part10.zip",
                             "UPPER.ZIP", "notes.txt", "nested/inner.zip"}) {
        test::writeFileBytes(uploads() / name, bytesOf("x"));
    }
    std::vector<std::string> names;
    for (const auto& archive : listGarminArchives(uploads())) {
        names.push_back(archive.filename().string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"UPPER.ZIP", "UploadedFiles_0-_Part10.zip",
                                               "UploadedFiles_0-_Part2.zip"}));
    EXPECT_TRUE(listGarminArchives(root() / "missing").empty());
}

TEST_F(GarminImportTest, SummariesConvertUnitsAndDefaultWhatIsMissingOrMistyped) {
    writeSummaries(
        "user_0_summarizedActivities.json",
        summaryFile({"{\"activityId\": 17034623011, \"activityType\": \"running\", "
                     "\"beginTimestamp\": 1714548615000, \"duration\": 3600500.0, "
                     "\"distance\": 1234567, \"elevationGain\": 12345, \"avgHr\": 142, "
                     "\"maxHr\": 171.5, \"calories\": 612, \"name\": \"Morning\"}",
                     "{\"activityId\": \"7\", \"activityType\": 3, \"avgHr\": \"high\"}"}));
    auto summaries = loadGarminActivities(fitness());
    ASSERT_EQ(summaries.size(), 2u);
    const GarminActivity& full = summaries[0];
    EXPECT_EQ(full.activityId, 17034623011);
    EXPECT_EQ(full.activityType, "running");
    EXPECT_EQ(formatISO8601(full.startTimestamp), "2024-05-01T07:30:15Z");
    EXPECT_DOUBLE_EQ(full.duration, 3600.5);
    EXPECT_DOUBLE_EQ(full.distance, 12345.67);
    EXPECT_DOUBLE_EQ(full.elevationGain, 123.45);
    EXPECT_DOUBLE_EQ(full.maxHR, 171.5);
    EXPECT_EQ(full.name, "Morning");
    EXPECT_EQ(summaries[1], GarminActivity{});
    EXPECT_EQ(formatISO8601(summaries[1].startTimestamp), "1970-01-01T00:00:00Z");
}

TEST_F(GarminImportTest, SummaryFilesOfTheWrongShapeAreSkippedWhole) {
    const std::string good = summaryJson(kStart, "cycling");
    writeSummaries("a_summarizedActivities.json", summaryFile({good}));
    writeSummaries("b_summarizedActivities.json", summaryFile({good, good}) + " trailing,");
    writeSummaries("c_summarizedActivities.json", "{\"summarizedActivitiesExport\": []}");
    writeSummaries("d_summarizedActivities.json", "[]");
    writeSummaries("e_summarizedActivities.json", "[7, {\"summarizedActivitiesExport\": []}]");
    writeSummaries("f_summarizedActivities.json", "[{\"other\": []}]");
    writeSummaries("g_summarizedActivities.json",
                   "[{\"summarizedActivitiesExport\": [" + good + ", 5]}]");
    writeSummaries("h_summarizedActivities.JSON", summaryFile({good}));
    writeSummaries("user_records.json", summaryFile({good}));
    writeSummaries("z_summarizedActivities.json", summaryFile({good, good}) + ", [1]");
    writeSummaries("y_summarizedActivities.json", summaryFile({good, good, good}));
    EXPECT_EQ(loadGarminActivities(fitness()).size(), 4u);
    EXPECT_TRUE(loadGarminActivities(root() / "missing").empty());
}

TEST_F(GarminImportTest, TypeKeysMapToKindsAndEverythingElseIsOther) {
    EXPECT_EQ(garminActivityType("running"), ActivityType::running);
    EXPECT_EQ(garminActivityType("Treadmill_Running"), ActivityType::treadmill);
    EXPECT_EQ(garminActivityType("mountain_biking"), ActivityType::mountainBiking);
    EXPECT_EQ(garminActivityType("trail_running"), ActivityType::trailRunning);
    EXPECT_EQ(garminActivityType("open_water_swimming"), ActivityType::swimming);
    EXPECT_EQ(garminActivityType("lap_swimming"), ActivityType::swimming);
    EXPECT_EQ(garminActivityType("indoor_cardio"), ActivityType::other);
    EXPECT_EQ(garminActivityType("yoga"), ActivityType::other);
    EXPECT_EQ(garminActivityType(std::nullopt), ActivityType::other);
}

TEST_F(GarminImportTest, ConfirmationTextCountsArchivesAndSummaries) {
    EXPECT_EQ(garminConfirmationText(1, 0), "Found 1 ZIP file with activity data.\n\nImport now?");
    EXPECT_EQ(garminConfirmationText(3, 412),
              "Found 3 ZIP files with activity data. Also found 412 activity records for "
              "metadata (activity type, HR, calories).\n\nImport now?");
}

TEST_F(GarminImportTest, ActivitiesTakeWhatTheyLackFromTheFirstSummaryWithinFiveMinutes) {
    {
        ZipTestArchive zip(uploads() / "UploadedFiles_0-_Part1.zip");
        zip.add("a/plain.gpx", makeGpx(kStart))
            .add("a/yoga.gpx", makeGpx(kStart + kDay))
            .add("a/limit.gpx", makeGpx(kStart + 2 * kDay))
            .add("a/climb.gpx", makeGpx(kStart + 3 * kDay, 30, std::nullopt, 5))
            .add("a/typed.gpx", makeGpx(kStart + 4 * kDay, 30, std::string("cycling")))
            .add("ride.fit",
                 test::readFileBytes(test::corpusFile("tormoder__onelap-indoor-0134902991.fit")));
    }
    const double fitStart = 1614859467;  // 2021-03-04T12:04:27Z, the FIT file's first point
    const std::string metrics =
        ", \"avgHr\": 140, \"maxHr\": 175, \"calories\": 500, \"elevationGain\": 12345";
    writeSummaries(
        "x_summarizedActivities.json",
        summaryFile({summaryJson(kStart + 299, "running", metrics),
                     summaryJson(kStart - 10, "hiking"), summaryJson(kStart + kDay, "yoga"),
                     summaryJson(kStart + 2 * kDay + 300, "running"),
                     summaryJson(kStart + 3 * kDay, "walking", metrics),
                     summaryJson(kStart + 4 * kDay, "running", metrics),
                     summaryJson(fitStart + 30, "running", metrics)}));
    BulkImportResult result = runImport(false);
    EXPECT_EQ(result.imported, 6);
    EXPECT_EQ(result.supplemented, 3);
    auto rides = ridesByDate();
    ASSERT_EQ(rides.size(), 6u);
    const auto& fit = *rides[0];
    EXPECT_EQ(fit.activityType, "indoorCycling");  // the session's own kind, not the summary's
    EXPECT_EQ(fit.importSource, "Garmin (FIT)");
    const auto& plain = *rides[1];
    EXPECT_EQ(plain.activityType, "running");
    EXPECT_EQ(plain.importSource, "Garmin (GPX)");
    EXPECT_DOUBLE_EQ(plain.averageHeartRate, 140);
    EXPECT_DOUBLE_EQ(plain.maxHeartRate, 175);
    EXPECT_DOUBLE_EQ(plain.calories, 500);
    EXPECT_DOUBLE_EQ(plain.elevationGain, 123.45);
    EXPECT_EQ(rides[2]->activityType, "other");
    EXPECT_FALSE(rides[3]->activityType);
    EXPECT_EQ(rides[4]->activityType, "walking");
    EXPECT_DOUBLE_EQ(rides[4]->elevationGain, 145);
    EXPECT_EQ(rides[5]->activityType, "cycling");
    EXPECT_DOUBLE_EQ(rides[5]->calories, 500);
    EXPECT_NE(test::sessionLogText().find(
                  "[INFO] [Import] Garmin import: 6 imported (3 supplemented from "
                  "JSON), 0 skipped, 0 errors"),
              std::string::npos);
}

TEST_F(GarminImportTest, SecondImportSkipsOrReplaces) {
    {
        ZipTestArchive zip(uploads() / "part1.zip");
        zip.add("one.gpx", makeGpx(kStart)).add("two.gpx", makeGpx(kStart + kDay));
    }
    {
        ZipTestArchive zip(uploads() / "part2.zip");
        zip.add("three.gpx", makeGpx(kStart + 2 * kDay)).add("broken.gpx", "<gpx");
    }
    EXPECT_EQ(runImport(false).imported, 3);
    auto firstIDs = ridesByDate();

    BulkImportResult again = runImport(false);
    EXPECT_EQ(again.imported, 0);
    EXPECT_EQ(again.skipped, 3);
    EXPECT_EQ(again.errors, 1);

    BulkImportResult replaced = runImport(true);
    EXPECT_EQ(replaced.imported, 3);
    EXPECT_EQ(replaced.skipped, 0);
    auto rides = ridesByDate();
    ASSERT_EQ(rides.size(), 3u);
    for (std::size_t i = 0; i < rides.size(); ++i) {
        EXPECT_NE(rides[i]->rideID, firstIDs[i]->rideID);
        EXPECT_EQ(rides[i]->date, firstIDs[i]->date);
    }
    EXPECT_NE(test::sessionLogText().find(
                  "Garmin import: 3 imported (0 supplemented from JSON), 0 skipped, "
                  "1 errors"),
              std::string::npos);
}

// One new activity may duplicate several stored ones; every one of them goes, once.
TEST_F(GarminImportTest, ReplacingDeletesEveryOverlappingRecord) {
    {
        ZipTestArchive zip(uploads() / "old.zip");
        zip.add("first.gpx", makeGpx(kStart, 30)).add("again.gpx", makeGpx(kStart + 60, 30));
    }
    {
        ZipTestArchive zip(uploads() / "zz-new.zip");
        zip.add("merged.gpx", makeGpx(kStart, 31)).add("merged-copy.gpx", makeGpx(kStart, 31));
    }
    BulkImportResult result = runImport(true);
    EXPECT_EQ(result.imported, 4);
    auto rides = ridesByDate();
    ASSERT_EQ(rides.size(), 2u);
    for (const auto& ride : rides) EXPECT_DOUBLE_EQ(ride->duration, 30 * 60);
}

}  // namespace
}  // namespace vantrel
