#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "archive/ArchiveExport.h"
#include "archive/ArchiveImport.h"
#include "archive/RideArchiveExporter.h"
#include "archive/RideArchiveImporter.h"
#include "export/ExportFileNames.h"
#include "export/ExportTestRides.h"
#include "logging/PersistentLogger.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using test::kMayFirst;

class ArchiveFlowTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    // A logger of this test's own: its session file lies in this test's folder.
    ScopedSharedLogger logSession;
    std::filesystem::path folder = environment.root() / "out";
    std::unique_ptr<RideStore> source = RideStore::open(environment.root() / "source.sqlite");
    std::unique_ptr<RideStore> target = RideStore::open(environment.root() / "target.sqlite");

    void SetUp() override { std::filesystem::create_directories(folder); }

    RideRef add(RideStore& store, PersistedRide ride) {
        auto ref = std::make_shared<PersistedRide>(std::move(ride));
        store.insert(ref);
        return ref;
    }

    /// A minimal ride starting `day` days after 1 May 2024.
    RideRef addPlain(RideStore& store, double day) {
        PersistedRide ride;
        ride.date = kMayFirst + day * 86400;
        ride.duration = 60;
        return add(store, std::move(ride));
    }

    /// The size of the year file that holds one `fullRide` of 900 s.
    std::uintmax_t exportedSizeOfOneYear() {
        auto probe = RideStore::open(environment.root() / "probe.sqlite");
        RideRef ride = add(*probe, test::fullRide(kMayFirst, 900));
        probe->save();
        auto file = folder / "probe.json";
        exportArchiveToFile(*probe, {ride}, file, PersistentLogger::shared());
        return std::filesystem::file_size(file);
    }

    std::filesystem::path writeArchive(const std::string& name, std::vector<RideRef> rides) {
        auto file = folder / name;
        EXPECT_TRUE(exportArchiveToFile(*source, std::move(rides), file, PersistentLogger::shared())
                        .succeeded());
        return file;
    }
};

TEST_F(ArchiveFlowTest, RoundTripKeepsEveryCarriedFieldAndTheSeriesBytes) {
    PersistedRide full = test::fullRide(kMayFirst, 600);
    full.deletedAt = kMayFirst + 7200;
    full.averagePower = 200;
    full.setPowerSamples({{Uuid::random(), kMayFirst, 250}});
    RideRef first = add(*source, full);
    RideRef second = addPlain(*source, 1);
    source->save();

    auto file = writeArchive("all.json", {first, second});
    ArchiveImportResult result = importArchiveFiles(*target, {file}, PersistentLogger::shared());
    EXPECT_EQ(result.imported, 2);
    EXPECT_TRUE(result.failures.empty());

    for (const RideRef& original : {first, second}) {
        RideRef copy;
        for (const auto& ride : target->allRecords()) {
            if (ride->rideID == original->rideID) copy = ride;
        }
        ASSERT_TRUE(copy);
        PersistedRide expected = *original;
        expected.date = std::floor(expected.date);
        EXPECT_EQ(RideArchiveExporter::archivedRide(*copy),
                  RideArchiveExporter::archivedRide(expected));
        EXPECT_EQ(copy->routeData, original->routeData);
        EXPECT_EQ(copy->heartRateData, original->heartRateData);
        EXPECT_EQ(copy->powerData, original->powerData);
        EXPECT_EQ(copy->averagePower, original->averagePower);
    }
}

TEST_F(ArchiveFlowTest, SecondImportSkipsEverythingAndSoftDeletedRecordsBlock) {
    RideRef live = addPlain(*source, 0);
    RideRef gone = addPlain(*source, 1);
    source->save();
    auto file = writeArchive("two.json", {live, gone});

    PersistedRide softDeleted;
    softDeleted.rideID = gone->rideID;
    softDeleted.deletedAt = kMayFirst;
    add(*target, softDeleted);
    target->save();

    auto first = importArchiveFiles(*target, {file}, PersistentLogger::shared());
    EXPECT_EQ(first.imported, 1);
    EXPECT_EQ(first.skipped, 1);
    auto again = importArchiveFiles(*target, {file}, PersistentLogger::shared());
    EXPECT_EQ(again.imported, 0);
    EXPECT_EQ(again.skipped, 2);
    EXPECT_NE(test::sessionLogText().find("[INFO] [Import] Archive import: 0 imported, 2 skipped"),
              std::string::npos);
}

TEST_F(ArchiveFlowTest, BadFileAddsNothingAndTheOthersStillImport) {
    RideRef a = addPlain(*source, 0);
    RideRef b = addPlain(*source, 1);
    source->save();
    auto good1 = writeArchive("good1.json", {a});
    auto good2 = writeArchive("good2.json", {b});
    // A file whose first activity is fine and whose second lacks a key: nothing of it counts.
    std::string half = test::readFileText(good1);
    half.replace(half.find(']'), 1, R"(,{"rideID":"00000000-0000-4000-8000-000000000009"}])");
    auto bad = folder / "half.json";
    test::writeFileBytes(bad, bytesOf(half));
    auto notJson = folder / "garbage.json";
    test::writeFileBytes(notJson, bytesOf("PK\x03\x04 not an archive"));

    std::vector<int> progress;
    auto result = importArchiveFiles(*target, {bad, good1, notJson, folder / "missing.json", good2},
                                     PersistentLogger::shared(),
                                     [&](int done, int) { progress.push_back(done); });
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(result.total, 2);
    EXPECT_EQ(progress, (std::vector<int>{1, 2}));
    ASSERT_EQ(result.failures.size(), 3u);
    EXPECT_EQ(result.failures[0].fileName, "half.json");
    EXPECT_EQ(result.failures[0].description, "The required key \"rides[1].date\" is missing.");
    EXPECT_EQ(result.failures[1].fileName, "garbage.json");
    EXPECT_EQ(result.failures[2].fileName, "missing.json");
    EXPECT_NE(result.failures[2].description.find("No such file"), std::string::npos);
    EXPECT_EQ(target->count({}), 2);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Import] Archive import failed for half.json: The required key"),
              std::string::npos);
    EXPECT_NE(log.find("[INFO] [Import] Archive import: 2 imported, 0 skipped"), std::string::npos);
}

TEST_F(ArchiveFlowTest, ASeriesThatIsNotBase64IsLeftOutAndSaidSo) {
    RideRef damaged = add(*source, test::fullRide(kMayFirst, 60));
    RideRef sound = add(*source, test::fullRide(kMayFirst + 86400, 60));
    source->save();
    auto file = writeArchive("damaged.json", {damaged, sound});
    std::string text = test::readFileText(file);
    std::size_t route = text.find("\"routeData\":\"") + 13;
    text.replace(route, text.find('"', route) - route, "not Base64");
    test::writeFileBytes(file, bytesOf(text));

    auto result = importArchiveFiles(*target, {file}, PersistentLogger::shared());
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(result.damagedSeries, 1);
    EXPECT_TRUE(result.failures.empty());
    RideRef copy = target->fetchByRideID(damaged->rideID);
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->routeData);
    EXPECT_EQ(copy->heartRateData, damaged->heartRateData);
    EXPECT_EQ(target->fetchByRideID(sound->rideID)->routeData, sound->routeData);
    EXPECT_NE(test::sessionLogText().find(
                  "[WARN] [Import] Archive import: the routeData of activity " +
                  damaged->rideID.toString() +
                  " in damaged.json is not valid Base64; the activity was imported without it"),
              std::string::npos);
}

TEST_F(ArchiveFlowTest, TheSameRideIDTwiceInOneArchiveIsADuplicate) {
    RideRef a = addPlain(*source, 0);
    RideRef b = addPlain(*source, 1);
    source->save();
    auto file = writeArchive("twice.json", {a, b, a});
    auto result = importArchiveFiles(*target, {file}, PersistentLogger::shared());
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(result.skipped, 1);
    RideQuery query;
    EXPECT_EQ(target->count(query), 2);
    EXPECT_TRUE(target->fetchByRideID(a->rideID));
}

TEST_F(ArchiveFlowTest, AnActivityTheStoreRefusesIsDroppedNamingItsFile) {
    RideRef a = addPlain(*source, 0);
    RideRef b = addPlain(*source, 1);
    source->save();
    auto file = writeArchive("refused.json", {a, b});
    test::refuseActivitiesWhere(environment.root() / "target.sqlite",
                                "NEW.rideID = '" + a->rideID.toString() + "'");
    auto result = importArchiveFiles(*target, {file}, PersistentLogger::shared());
    EXPECT_EQ(result.imported, 1);
    EXPECT_FALSE(result.saveError);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].fileName, "refused.json");
    EXPECT_NE(result.failures[0].description.find(a->rideID.toString() + " could not be saved"),
              std::string::npos);
    EXPECT_FALSE(target->hasChanges());
    EXPECT_EQ(RideStore::open(environment.root() / "target.sqlite")->count({}), 1);
    EXPECT_NE(test::sessionLogText().find("[INFO] [Import] Archive import: 1 imported, 0 skipped"),
              std::string::npos);
}

TEST_F(ArchiveFlowTest, ARunLeftUnsavedIsAnErrorNotASuccess) {
    RideRef a = addPlain(*source, 0);
    source->save();
    auto file = writeArchive("one.json", {a});
    test::makeCommitsFail(environment.root() / "target.sqlite");
    auto result = importArchiveFiles(*target, {file}, PersistentLogger::shared());
    ASSERT_TRUE(result.saveError);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Import] Archive import could not save the imported activities: "),
              std::string::npos);
    EXPECT_EQ(log.find("Archive import: "), std::string::npos);
}

TEST_F(ArchiveFlowTest, LargeImportSavesEveryFiftyActivities) {
    std::vector<RideRef> rides;
    for (int i = 0; i < 120; ++i) rides.push_back(addPlain(*source, i * 0.01));
    source->save();
    auto file = writeArchive("many.json", rides);

    auto observer = RideStore::open(environment.root() / "target.sqlite");
    std::map<int, std::int64_t> savedBefore;
    importArchiveFiles(*target, {file}, PersistentLogger::shared(), [&](int done, int) {
        if (done == 50 || done == 51 || done == 101 || done == 120)
            savedBefore[done] = observer->count({});
    });
    EXPECT_EQ(savedBefore,
              (std::map<int, std::int64_t>{{50, 0}, {51, 50}, {101, 100}, {120, 100}}));
    EXPECT_EQ(observer->count({}), 120);
}

TEST_F(ArchiveFlowTest, FailedExportKeepsTheOlderFile) {
    RideRef ride = addPlain(*source, 0);
    source->save();
    auto file = writeArchive("keep.json", {ride});
    Bytes before = test::readFileBytes(file);

    ride->distance = std::nan("");
    ArchiveExportResult result =
        exportArchiveToFile(*source, {ride}, file, PersistentLogger::shared());
    EXPECT_EQ(result.failure, "Unable to encode the value nan of \"rides[0].distance\" in JSON.");
    EXPECT_EQ(test::readFileBytes(file), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    EXPECT_NE(test::sessionLogText().find(
                  "[ERROR] [Export] Vantrel Format export failed: Unable to encode"),
              std::string::npos);
}

TEST_F(ArchiveFlowTest, ActivitiesWithUnwritableDatesAreSkippedAndCounted) {
    RideRef before = addPlain(*source, 0);
    RideRef huge = addPlain(*source, 1);
    RideRef ancient = addPlain(*source, 2);
    RideRef notANumber = addPlain(*source, 3);
    RideRef after = addPlain(*source, 4);
    huge->date = 1e15;
    ancient->date = -1e20;
    source->save();
    notANumber->date = std::nan("");  // a stored NaN reads back as this

    std::vector<int> progress;
    auto result = exportArchiveToFile(*source, {before, huge, ancient, notANumber, after},
                                      folder / "some.json", PersistentLogger::shared(),
                                      [&](int done, int) { progress.push_back(done); });
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.exported, 2);
    ASSERT_EQ(result.skipped.size(), 3u);
    EXPECT_NE(result.skipped[0].find(huge->rideID.toString()), std::string::npos);
    EXPECT_NE(result.skipped[2].find(notANumber->rideID.toString()), std::string::npos);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5}));
    auto written = RideArchiveImporter::decodeArchive(test::readFileBytes(folder / "some.json"));
    ASSERT_EQ(written.rides.size(), 2u);
    EXPECT_EQ(written.rides[1].rideID, after->rideID);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Export] Skipped activity " + ancient->rideID.toString()),
              std::string::npos);
    EXPECT_NE(log.find("[INFO] [Export] Exported Vantrel Format: 2 rides"), std::string::npos);
}

TEST_F(ArchiveFlowTest, UnwritableTargetIsReportedNotSucceeded) {
    RideRef ride = addPlain(*source, 0);
    source->save();
    auto result = exportArchiveToFile(*source, {ride}, folder / "no" / "such" / "dir.json",
                                      PersistentLogger::shared());
    ASSERT_TRUE(result.failure);
    EXPECT_NE(result.failure->find("dir.json"), std::string::npos);
}

TEST_F(ArchiveFlowTest, ExportLogsCountAndMegabytes) {
    RideRef ride = add(*source, test::fullRide(kMayFirst, 3600));
    source->save();
    auto result =
        exportArchiveToFile(*source, {ride}, folder / "one.json", PersistentLogger::shared());
    EXPECT_EQ(result.exported, 1);
    EXPECT_EQ(result.bytes, std::filesystem::file_size(folder / "one.json"));
    char size[32];
    std::snprintf(size, sizeof size, "%.1f", result.bytes / 1e6);
    EXPECT_NE(test::sessionLogText().find("[Export] Exported Vantrel Format: 1 rides, " +
                                          std::string(size) + " MB"),
              std::string::npos);
}

TEST_F(ArchiveFlowTest, FlowsLogToTheLoggerTheyAreGiven) {
    RideRef ride = add(*source, test::fullRide(kMayFirst, 3600));
    source->save();
    auto own = PersistentLogger::createForTesting();
    exportArchiveToFile(*source, {ride}, folder / "one.json", *own);
    importArchiveFiles(*target, {folder / "one.json", folder / "missing.json"}, *own);
    own->flush();
    std::string text = test::readFileText(*own->currentLogFile());
    EXPECT_NE(text.find("[Export] Exported Vantrel Format: 1 rides"), std::string::npos);
    EXPECT_NE(text.find("[ERROR] [Import] Archive import failed for missing.json"),
              std::string::npos);
    EXPECT_NE(text.find("[INFO] [Import] Archive import: 1 imported, 0 skipped"),
              std::string::npos);
    EXPECT_EQ(test::sessionLogText().find("Archive import"), std::string::npos);
}

TEST_F(ArchiveFlowTest, AllYearsWritesOneFilePerYearNewestFirst) {
    addPlain(*source, 0);
    addPlain(*source, 1);
    addPlain(*source, -400);  // 2023
    PersistedRide deleted;
    deleted.date = kMayFirst - 800 * 86400;  // 2022, soft-deleted: no year, no file
    deleted.deletedAt = kMayFirst;
    add(*source, deleted);
    source->save();

    std::vector<int> progress;
    auto result =
        exportArchiveYearFiles(*source, folder, PersistentLogger::shared(),
                               [&](int done, int total) { progress.push_back(done * 10 + total); });
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.exported, 3);
    EXPECT_EQ(result.filesWritten, 2);
    EXPECT_EQ(progress, (std::vector<int>{13, 23, 33}));
    auto y2024 =
        RideArchiveImporter::decodeArchive(test::readFileBytes(folder / "Vantrel_2024.json"));
    EXPECT_EQ(y2024.rides.size(), 2u);
    EXPECT_GT(y2024.rides[0].date, y2024.rides[1].date);
    EXPECT_TRUE(std::filesystem::exists(folder / "Vantrel_2023.json"));
    EXPECT_FALSE(std::filesystem::exists(folder / "Vantrel_2022.json"));
    EXPECT_NE(test::sessionLogText().find(
                  "[Export] Exported Vantrel Format: 3 rides across 2 year files"),
              std::string::npos);
}

TEST_F(ArchiveFlowTest, AllYearsOnAFullDiskSaysWhatItReplacedAndWhatIsOlder) {
    test::ScopedTmpfs disk(std::size_t{1024} * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.skipReason();
    for (double day : {0.0, -400.0, -800.0})
        add(*source, test::fullRide(kMayFirst + day * 86400, 900));
    source->save();
    test::writeFileBytes(disk / "Vantrel_2024.json", bytesOf("an older export"));
    test::writeFileBytes(disk / "Vantrel_2022.json", bytesOf("an older export"));
    // What is left is room for one year file, with a little to spare but not for another.
    constexpr std::uintmax_t kSpare = std::uintmax_t{8} * 1024;
    auto room = exportedSizeOfOneYear() + kSpare;
    test::writeFileBytes(disk / "filler",
                         Bytes(std::filesystem::space(disk.path()).available - room, 0));

    auto result = exportArchiveYearFiles(*source, disk.path(), PersistentLogger::shared());
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.yearFiles.replaced, std::vector<std::string>{"Vantrel_2024.json"});
    EXPECT_EQ(result.yearFiles.missing, std::vector<std::string>{"Vantrel_2023.json"});
    EXPECT_EQ(result.yearFiles.olderKept, std::vector<std::string>{"Vantrel_2022.json"});
    EXPECT_EQ(test::readFileText(disk / "Vantrel_2022.json"), "an older export");
    EXPECT_NE(test::sessionLogText().find(
                  "No space left on device. Replaced: Vantrel_2024.json. Older, not replaced: "
                  "Vantrel_2022.json. Not written: Vantrel_2023.json."),
              std::string::npos)
        << test::sessionLogText();
}

TEST_F(ArchiveFlowTest, ImportStoppedByAFullDiskSaysHowManyAreStored) {
    test::ScopedTmpfs disk(std::size_t{16} * 1024 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.skipReason();
    std::vector<RideRef> rides;
    for (int i = 0; i < 150; ++i)
        rides.push_back(add(*source, test::fullRide(kMayFirst + i * 7200, 300)));
    source->save();
    auto all = writeArchive("many.json", rides);
    // The room one save of 50 such activities takes, measured on a store of its own.
    auto probeFolder = environment.root() / "probe";
    std::filesystem::create_directories(probeFolder);
    importArchiveFiles(*RideStore::open(probeFolder / "store.sqlite"),
                       {writeArchive("fifty.json", {rides.begin(), rides.begin() + 50})},
                       PersistentLogger::shared());
    std::uintmax_t batch = 0;
    for (const auto& entry : std::filesystem::directory_iterator(probeFolder))
        batch += entry.file_size();
    auto onDisk = RideStore::open(disk / "store.sqlite");
    test::writeFileBytes(disk / "filler",
                         Bytes(std::filesystem::space(disk.path()).available - batch * 3 / 2, 0));

    auto result = importArchiveFiles(*onDisk, {all}, PersistentLogger::shared());
    ASSERT_TRUE(result.saveError);
    EXPECT_EQ(result.saved, 50);
    onDisk.reset();
    EXPECT_EQ(RideStore::open(disk / "store.sqlite")->count({}), 50);
    EXPECT_NE(test::sessionLogText().find("50 activities were stored before the failure."),
              std::string::npos)
        << test::sessionLogText();
}

TEST_F(ArchiveFlowTest, AllYearsCountsActivitiesOutsideEveryYearOnce) {
    addPlain(*source, 0);
    RideRef future = addPlain(*source, 1);
    RideRef past = addPlain(*source, 2);
    future->date = 1e15;
    past->date = -1e20;
    source->save();

    auto result = exportArchiveYearFiles(*source, folder, PersistentLogger::shared());
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.exported, 1);
    ASSERT_EQ(result.skipped.size(), 2u);
    EXPECT_NE(result.skipped[0].find(past->rideID.toString()), std::string::npos);
    EXPECT_NE(result.skipped[1].find(future->rideID.toString()), std::string::npos);
    EXPECT_NE(test::sessionLogText().find("[ERROR] [Export] Skipped activity " +
                                          future->rideID.toString()),
              std::string::npos);
}

TEST_F(ArchiveFlowTest, CancelledExportWritesNothing) {
    RideRef ride = addPlain(*source, 0);
    source->save();
    CancellationToken token;
    token.cancel();
    auto result = exportArchiveToFile(*source, {ride}, folder / "c.json",
                                      PersistentLogger::shared(), {}, &token);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(ExportFileNamesTest, NamesFollowTheLocalStart) {
    auto one = std::make_shared<PersistedRide>();
    one->date = kMayFirst;
    EXPECT_EQ(archiveSelectionFileName({one}, kMayFirst + 86400), "Vantrel_20240501_0730.json");
    EXPECT_EQ(archiveSelectionFileName({one, one}, kMayFirst + 86400 + 60),
              "Vantrel_20240502_0731_2activities.json");
    EXPECT_EQ(archiveDetailFileName(*one), "Vantrel_202405010730.json");
    EXPECT_EQ(archiveYearFileName(2024), "Vantrel_2024.json");
    EXPECT_EQ(gpxBaseName(kMayFirst), "202405010730");
}

}  // namespace
}  // namespace vantrel
