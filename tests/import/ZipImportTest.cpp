#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>
#include <set>
#include <tuple>

#include "import/StravaImportService.h"
#include "import/ZipArchiveReader.h"
#include "import/ZipImportService.h"
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

constexpr double kDay = 86400;
constexpr double kBase = 1700000000;  // 2023-11-14

std::vector<std::string> listedPaths(const ZipListing& listing) {
    std::vector<std::string> paths;
    for (const auto& member : listing.files) paths.push_back(member.path);
    return paths;
}

void truncateFile(const fs::path& file, double fraction) {
    auto size = fs::file_size(file);
    fs::resize_file(file, static_cast<std::uintmax_t>(size * fraction));
}

class ZipImportTest : public ::testing::Test {
  protected:
    void SetUp() override { store = RideStore::open(env.root() / "store.sqlite"); }

    fs::path archivePath(const std::string& name) const { return dir / name; }

    std::vector<RideRef> storedRides() {
        RideQuery query;
        query.withDetails = false;
        return store->fetch(query);
    }

    BulkImportResult importZips(const std::vector<fs::path>& archives, int threads = 1,
                                std::uint64_t limit = kDefaultZipMemberSizeLimit) {
        BulkImportOptions options(PersistentLogger::shared());
        options.threads = threads;
        options.memberSizeLimit = limit;
        return importZipArchives(*store, archives, "ZIP Import", options);
    }

    test::IsolatedEnvironment env;
    // A logger of this test's own: its session file lies in this test's folder.
    ScopedSharedLogger logSession;
    test::TempDir dir;
    std::unique_ptr<RideStore> store;
};

// --- The archive reader --------------------------------------------------------------------

TEST_F(ZipImportTest, ListingFollowsExtractionIntoAFreshFolder) {
    {
        ZipTestArchive zip(archivePath("a.zip"));
        zip.add("export/activities/one.gpx", "first")
            .add("notes.txt", "text")
            .addFolder("empty/")
            .add("./export//activities/one.gpx", "second")
            .add(".hidden/RIDE.GPX", "hidden");
    }
    ZipListing listing = listZipArchive(archivePath("a.zip"));
    ASSERT_TRUE(listing.readable);
    EXPECT_TRUE(listing.rejectedEntries.empty());
    EXPECT_EQ(
        listedPaths(listing),
        (std::vector<std::string>{"notes.txt", "export/activities/one.gpx", ".hidden/RIDE.GPX"}));
    ZipArchiveReader reader(archivePath("a.zip"));
    EXPECT_EQ(textOf(reader.read(listing.files[1])), "second");
    EXPECT_EQ(listing.files[2].fileName(), "RIDE.GPX");
}

TEST_F(ZipImportTest, HostileNamesAndLinksAreRejectedWithoutBeingRead) {
    {
        ZipTestArchive zip(archivePath("hostile.zip"));
        zip.add("../escape.gpx", "x")
            .add("/etc/absolute.gpx", "x")
            .add("a/../../deep.gpx", "x")
            .add("..\\windows.gpx", "x")
            .add("C:/drive.gpx", "x")
            .addSymlink("link.gpx", "/etc/passwd")
            .add("plain", "file")
            .add("plain/below.gpx", "clashes with the file above")
            .add("good.gpx", "kept");
    }
    ZipListing listing = listZipArchive(archivePath("hostile.zip"));
    ASSERT_TRUE(listing.readable);
    ASSERT_EQ(listing.rejectedEntries.size(), 7u);
    EXPECT_EQ(listing.rejectedEntries[0].name, "../escape.gpx");
    EXPECT_EQ(listing.rejectedEntries[0].reason, "a path that leads outside");
    EXPECT_EQ(listing.rejectedEntries[1].reason, "an absolute path");
    EXPECT_EQ(listing.rejectedEntries[5].reason, "a link");
    EXPECT_EQ(listing.rejectedEntries[6].name, "plain/below.gpx");
    EXPECT_EQ(listedPaths(listing), (std::vector<std::string>{"plain", "good.gpx"}));
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "escape.gpx"));
}

TEST_F(ZipImportTest, EncryptedAndOversizedMembersFailAloneAndTheNextStillReads) {
    {
        ZipTestArchive zip(archivePath("mixed.zip"));
        zip.add("big.gpx", std::string(200000, 'a')).add("small.gpx", "fine");
    }
    {
        ZipTestArchive zip(archivePath("locked.zip"), "secret");
        zip.add("secret.gpx", "hidden");
    }
    ZipListing listing = listZipArchive(archivePath("mixed.zip"));
    ASSERT_EQ(listing.files.size(), 2u);
    ZipArchiveReader reader(archivePath("mixed.zip"));
    EXPECT_THROW(reader.read(listing.files[0], 100000), ZipMemberError);
    EXPECT_EQ(textOf(reader.read(listing.files[1], 100000)), "fine");
    EXPECT_EQ(reader.read(listing.files[0], 200000).size(), 200000u);

    ZipListing locked = listZipArchive(archivePath("locked.zip"));
    ASSERT_EQ(locked.files.size(), 1u);
    EXPECT_THROW(ZipArchiveReader(archivePath("locked.zip")).read(locked.files[0]), ZipMemberError);
}

// A bomb may declare a harmless size; the reader must stop at the limit while inflating.
TEST_F(ZipImportTest, MemberThatInflatesPastItsDeclaredSizeStopsAtTheLimit) {
    {
        ZipTestArchive zip(archivePath("bomb.zip"));
        zip.add("bomb.gpx", std::string(4 << 20, '\0'));
    }
    Bytes bytes = test::readFileBytes(archivePath("bomb.zip"));
    auto patch = [&bytes](std::size_t offset) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = i == 0 ? 10 : 0;
    };
    for (std::size_t i = 0; i + 4 < bytes.size(); ++i) {
        if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 3 && bytes[i + 3] == 4) {
            patch(i + 22);
        }
        if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 1 && bytes[i + 3] == 2) {
            patch(i + 24);
        }
    }
    test::writeFileBytes(archivePath("bomb.zip"), bytes);
    ZipListing listing = listZipArchive(archivePath("bomb.zip"));
    ASSERT_EQ(listing.files.size(), 1u);
    ZipArchiveReader reader(archivePath("bomb.zip"));
    EXPECT_THROW(reader.read(listing.files[0], 1 << 20), ZipMemberError);
}

TEST_F(ZipImportTest, DamagedMemberDataCostsOnlyThatMember) {
    {
        ZipTestArchive zip(archivePath("corrupt.zip"));
        zip.add("1.gpx", makeGpx(kBase))
            .add("2.gpx", makeGpx(kBase + kDay, 3000, std::nullopt, 0.37))
            .add("3.gpx", makeGpx(kBase + 2 * kDay));
    }
    Bytes bytes = test::readFileBytes(archivePath("corrupt.zip"));
    ZipListing listing = listZipArchive(archivePath("corrupt.zip"));
    ASSERT_EQ(listing.files.size(), 3u);
    std::size_t middle = bytes.size() / 2;
    for (std::size_t i = middle; i < middle + 64; ++i) bytes[i] ^= 0x5a;
    test::writeFileBytes(archivePath("corrupt.zip"), bytes);

    for (int threads : {1, 3}) {
        BulkImportResult result = importZips({archivePath("corrupt.zip")}, threads);
        EXPECT_EQ(result.imported + result.skipped, 2) << threads;
        EXPECT_EQ(result.errors, 1) << threads;
    }
}

// --- The ZIP import run ---------------------------------------------------------------------

TEST_F(ZipImportTest, ImportsActivityFilesFromNestedFoldersAndIgnoresTheRest) {
    {
        ZipTestArchive inner(archivePath("inner.zip"));
        inner.add("inner.gpx", makeGpx(kBase + 5 * kDay));
    }
    {
        ZipTestArchive zip(archivePath("export.zip"));
        zip.add("export/activities/1.gpx", makeGpx(kBase))
            .add("export/older/archive.zip", test::readFileBytes(archivePath("inner.zip")))
            .add("export/activities/2.fit.gz",
                 test::readFileBytes(test::corpusFile("fitparse__garmin-edge-500-activity.fit.gz")))
            .add("RIDE.GPX", makeGpx(kBase + kDay))
            .add("activities.csv", "id,name\n1,ride\n")
            .add("media/photo.jpg", "\xff\xd8\xff")
            .add("profile.json", "{}");
    }
    std::vector<ImportProgress> seen;
    BulkImportOptions options(PersistentLogger::shared());
    options.progress = [&seen](const ImportProgress& progress) { seen.push_back(progress); };
    BulkImportResult result =
        importZipArchives(*store, {archivePath("export.zip")}, "ZIP Import", options);
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(result.skipped, 0);
    EXPECT_EQ(result.errors, 0);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().importTotal, 3);
    EXPECT_DOUBLE_EQ(seen.back().importProgress, 1.0);
    std::multiset<std::string> sources;
    for (const auto& ride : storedRides()) sources.insert(ride->importSource.value_or(""));
    EXPECT_EQ(sources, (std::multiset<std::string>{"ZIP Import (FIT)", "ZIP Import (GPX)",
                                                   "ZIP Import (GPX)"}));
}

TEST_F(ZipImportTest, SameActivityTwiceIsInsertedTwiceAndASecondRunSkipsEverything) {
    {
        ZipTestArchive zip(archivePath("twice.zip"));
        zip.add("a.gpx", makeGpx(kBase)).add("copy/a.gpx", makeGpx(kBase));
    }
    BulkImportResult first = importZips({archivePath("twice.zip")});
    EXPECT_EQ(first.imported, 2);
    EXPECT_NE(test::sessionLogText().find(
                  "[INFO] [Import] ZIP Import import: 2 imported, 0 skipped, 0 errors"),
              std::string::npos);
    BulkImportResult second = importZips({archivePath("twice.zip")}, 2);
    EXPECT_EQ(second.imported, 0);
    EXPECT_EQ(second.skipped, 2);
    EXPECT_EQ(storedRides().size(), 2u);
    EXPECT_NE(test::sessionLogText().find("ZIP Import import: 0 imported, 2 skipped, 0 errors"),
              std::string::npos);
}

std::string antipodalGpx() {
    return "<?xml version=\"1.0\"?><gpx><trk><trkseg>"
           "<trkpt lat=\"13.847\" lon=\"-96.815\"><time>2020-01-01T10:00:00Z</time></trkpt>"
           "<trkpt lat=\"-13.847\" lon=\"83.185\"><time>2020-01-01T11:00:00Z</time></trkpt>"
           "</trkseg></trk></gpx>";
}

TEST_F(ZipImportTest, OnePoisonedMemberAmongGoodOnesCostsNothing) {
    {
        ZipTestArchive zip(archivePath("mixed.zip"));
        for (int i = 0; i < 60; ++i)
            zip.add("good" + std::to_string(i) + ".gpx", makeGpx(kBase + i * kDay, 3));
        zip.add("antipodal.gpx", antipodalGpx());
    }
    BulkImportResult result = importZips({archivePath("mixed.zip")}, 2);
    EXPECT_EQ(result.imported, 61);
    EXPECT_FALSE(result.saveError);
    EXPECT_EQ(RideStore::open(env.root() / "store.sqlite")->count({}), 61);
}

TEST_F(ZipImportTest, ARefusedRecordIsDroppedNamingItsMember) {
    test::refuseActivitiesWhere(env.root() / "store.sqlite",
                                "NEW.date = " + std::to_string(dateFromUnix(kBase + 7 * kDay)));
    {
        ZipTestArchive zip(archivePath("many.zip"));
        for (int i = 0; i < 120; ++i) {
            zip.add("ride" + std::to_string(i) + ".gpx", makeGpx(kBase + i * kDay, 3));
        }
    }
    BulkImportResult result = importZips({archivePath("many.zip")});
    EXPECT_EQ(result.imported, 119);
    EXPECT_EQ(result.errors, 1);
    EXPECT_FALSE(result.saveError);
    ASSERT_EQ(result.fileFailures.size(), 1u);
    EXPECT_EQ(result.fileFailures[0].first, "ride7.gpx");
    EXPECT_EQ(RideStore::open(env.root() / "store.sqlite")->count({}), 119);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Import] Import failed for ride7.gpx: could not be saved: "),
              std::string::npos);
    EXPECT_NE(log.find("ZIP Import import: 119 imported, 0 skipped, 1 errors"), std::string::npos);
}

TEST_F(ZipImportTest, AFailedFinalSaveIsLoggedAsAnError) {
    test::makeCommitsFail(env.root() / "store.sqlite");
    {
        ZipTestArchive zip(archivePath("good.zip"));
        zip.add("a.gpx", makeGpx(kBase)).add("b.gpx", makeGpx(kBase + kDay));
    }
    BulkImportResult result = importZips({archivePath("good.zip")});
    ASSERT_TRUE(result.saveError);
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[ERROR] [Import] ZIP Import import failed: the imported activities could "
                       "not be saved: "),
              std::string::npos);
    EXPECT_EQ(log.find("2 imported"), std::string::npos);
}

TEST_F(ZipImportTest, UnreadableArchivesYieldNothingAndTheRunGoesOn) {
    test::writeFileBytes(archivePath("garbage.zip"), bytesOf("this is no archive"));
    test::writeFileBytes(archivePath("empty.zip"), {});
    {
        ZipTestArchive zip(archivePath("good.zip"));
        zip.add("a.gpx", makeGpx(kBase));
    }
    BulkImportResult result = importZips({archivePath("garbage.zip"), archivePath("missing.zip"),
                                          archivePath("empty.zip"), archivePath("good.zip")});
    EXPECT_EQ(result.imported, 1);
    // Only the missing file counts, as the unpacking step that could not start.
    EXPECT_EQ(result.errors, 1);
    EXPECT_EQ(result.archiveFailures.size(), 3u);
    EXPECT_NE(
        test::sessionLogText().find("[ERROR] [Import] Failed to unzip missing.zip: No such file or "
                                    "directory"),
        std::string::npos);
}

TEST_F(ZipImportTest, RunLogsToTheLoggerOfItsOptions) {
    {
        ZipTestArchive zip(archivePath("good.zip"));
        zip.add("a.gpx", makeGpx(kBase));
    }
    auto own = PersistentLogger::createForTesting();
    BulkImportOptions options(PersistentLogger::shared());
    options.threads = 1;
    options.logger = own.get();
    importZipArchives(*store, {archivePath("missing.zip"), archivePath("good.zip")}, "ZIP Import",
                      options);
    own->flush();
    std::string text = test::readFileText(*own->currentLogFile());
    EXPECT_NE(text.find("[ERROR] [Import] Failed to unzip missing.zip"), std::string::npos);
    EXPECT_NE(text.find("[INFO] [Import] ZIP Import import: 1 imported, 0 skipped, 1 errors"),
              std::string::npos);
    EXPECT_EQ(test::sessionLogText().find("ZIP Import"), std::string::npos);
}

TEST_F(ZipImportTest, HostileArchiveIsCountedAndNothingLeavesTheRun) {
    {
        ZipTestArchive zip(archivePath("hostile.zip"));
        zip.add("../../escape.gpx", makeGpx(kBase))
            .addSymlink("link.gpx", "../../../etc/passwd")
            .add("bomb.gpx", std::string(3 << 20, ' '))
            .add("\xff\xfe-latin1.gpx", makeGpx(kBase + kDay))
            .add("\xfe\xff-other.gpx", makeGpx(kBase + 2 * kDay))
            .add("ok.gpx", makeGpx(kBase + 3 * kDay));
    }
    {
        ZipTestArchive zip(archivePath("locked.zip"), "secret");
        zip.add("locked.gpx", makeGpx(kBase + 4 * kDay));
    }
    BulkImportResult result =
        importZips({archivePath("hostile.zip"), archivePath("locked.zip")}, 2, 1 << 20);
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(result.errors, 4);
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "escape.gpx"));
    EXPECT_FALSE(fs::exists(dir.path() / "link.gpx"));
    // Each refusal is named with its reason, for the summary and in the log.
    EXPECT_EQ(result.fileFailures, (std::vector<std::pair<std::string, std::string>>{
                                       {"../../escape.gpx", "a path that leads outside"},
                                       {"link.gpx", "a link"},
                                       {"bomb.gpx", "member larger than 1048576 bytes"},
                                       {"locked.gpx", "encrypted member"}}));
    std::string log = test::sessionLogText();
    EXPECT_NE(log.find("[WARN] [Import] Refused bomb.gpx in hostile.zip: member larger than "
                       "1048576 bytes"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[WARN] [Import] Refused locked.gpx in locked.zip: encrypted member"),
              std::string::npos);
}

TEST_F(ZipImportTest, TruncatedArchiveKeepsWhatPrecedesTheCut) {
    {
        ZipTestArchive zip(archivePath("cut.zip"));
        for (int i = 0; i < 6; ++i) zip.add(std::to_string(i) + ".gpx", makeGpx(kBase + i * kDay));
    }
    truncateFile(archivePath("cut.zip"), 0.6);
    for (int threads : {1, 2}) {
        BulkImportResult result = importZips({archivePath("cut.zip")}, threads);
        EXPECT_GE(result.imported + result.skipped, 2) << threads;
        EXPECT_GE(result.errors, 1) << threads;
    }
}

TEST_F(ZipImportTest, ProgressRunsOverAllArchivesOfTheRun) {
    for (auto [name, count, offset] : {std::tuple{"ten.zip", 10, 0}, {"five.zip", 5, 100}}) {
        ZipTestArchive zip(archivePath(name));
        for (int i = 0; i < count; ++i) {
            zip.add(std::to_string(i) + ".gpx", makeGpx(kBase + (offset + i) * kDay, 3));
        }
    }
    std::vector<ImportProgress> seen;
    BulkImportOptions options(PersistentLogger::shared());
    options.threads = 2;
    options.progress = [&seen](const ImportProgress& progress) { seen.push_back(progress); };
    importZipArchives(*store, {archivePath("ten.zip"), archivePath("five.zip")}, "ZIP Import",
                      options);
    std::vector<int> currents;
    for (const auto& progress : seen) {
        if (progress.importCurrent == 0 ||
            (!currents.empty() && currents.back() == progress.importCurrent)) {
            continue;
        }
        currents.push_back(progress.importCurrent);
        EXPECT_EQ(progress.importTotal, progress.importCurrent <= 10 ? 10 : 15);
        EXPECT_DOUBLE_EQ(progress.importProgress,
                         static_cast<double>(progress.importCurrent) / progress.importTotal);
    }
    EXPECT_EQ(seen.back().importTotal, 15);
    std::vector<int> expected(15);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(currents, expected);
}

TEST_F(ZipImportTest, SavesAfterEveryFiftiethInsertionAndAtTheEnd) {
    {
        ZipTestArchive zip(archivePath("many.zip"));
        for (int i = 0; i < 120; ++i) {
            zip.add("r" + std::to_string(i) + ".gpx", makeGpx(kBase + i * kDay, 3));
        }
    }
    auto observer = RideStore::open(env.root() / "store.sqlite");
    std::map<int, std::int64_t> durableBefore;
    BulkImportOptions options(PersistentLogger::shared());
    options.progress = [&](const ImportProgress& progress) {
        int current = progress.importCurrent;
        if (current == 50 || current == 51 || current == 101) {
            durableBefore[current] = observer->count({});
        }
    };
    importZipArchives(*store, {archivePath("many.zip")}, "ZIP Import", options);
    EXPECT_EQ(durableBefore[50], 0);
    EXPECT_EQ(durableBefore[51], 50);
    EXPECT_EQ(durableBefore[101], 100);
    EXPECT_EQ(observer->count({}), 120);
}

// Workers may finish in any order; what reaches the store must not depend on their number.
TEST_F(ZipImportTest, ResultsDoNotDependOnTheNumberOfThreads) {
    {
        ZipTestArchive zip(archivePath("stored.zip"));
        for (int i = 0; i < 40; i += 6)
            zip.add(std::to_string(i) + ".gpx", makeGpx(kBase + i * kDay));
    }
    {
        ZipTestArchive zip(archivePath("varied.zip"));
        for (int i = 0; i < 40; ++i) {
            std::string name = "act/" + std::to_string(i);
            if (i % 7 == 3) {
                zip.add(name + ".gpx", "<gpx><broken");
            } else if (i % 11 == 5) {
                zip.add(name + ".gpx", makeGpx(kBase + (i - 1) * kDay, 20 + i));
            } else {
                zip.add(name + ".gpx", makeGpx(kBase + i * kDay, 5 + i % 13, std::nullopt, i % 4));
            }
        }
        zip.add("tcx/run.tcx.gz",
                test::readFileBytes(test::corpusFile("tcxparser__fr410-run.tcx.gz")));
    }
    auto runWith = [&](int threads, std::uint64_t budget = kDefaultMemberBytesBudget) {
        auto other = RideStore::open(env.root() / ("store-" + std::to_string(threads) + "-" +
                                                   std::to_string(budget) + ".sqlite"));
        BulkImportOptions options(PersistentLogger::shared());
        options.threads = threads;
        options.memberBytesBudget = budget;
        BulkImportResult result = importZipArchives(
            *other, {archivePath("stored.zip"), archivePath("varied.zip")}, "ZIP Import", options);
        std::vector<std::tuple<Date, double, double, double, std::string>> rows;
        for (const auto& ride : other->allRecords(false)) {
            rows.emplace_back(ride->date, ride->duration, ride->distance, ride->elevationGain,
                              ride->importSource.value_or(""));
        }
        return std::tuple{result.imported, result.skipped, result.errors, rows};
    };
    auto single = runWith(1);
    EXPECT_GT(std::get<0>(single), 20);
    EXPECT_GT(std::get<1>(single), 0);
    EXPECT_GT(std::get<2>(single), 0);
    EXPECT_EQ(runWith(2), single);
    EXPECT_EQ(runWith(5), single);
    // A budget that fits a few members at a time, and one that none fits: each is then read
    // alone, and the run still ends with the same records.
    EXPECT_EQ(runWith(5, 12000), single);
    EXPECT_EQ(runWith(5, 1), single);
}

// --- The Strava command ---------------------------------------------------------------------

TEST_F(ZipImportTest, StravaWithAZipImportsOnlyTheArchive) {
    {
        ZipTestArchive zip(archivePath("export.zip"));
        zip.add("activities/9.gpx", makeGpx(kBase + 9 * kDay));
    }
    test::writeFileBytes(archivePath("a.gpx"), bytesOf(makeGpx(kBase)));
    test::writeFileBytes(archivePath("b.gpx"), bytesOf(makeGpx(kBase + kDay)));
    BulkImportResult result = importStravaFiles(
        *store, {archivePath("a.gpx"), archivePath("export.ZIP"), archivePath("b.gpx")},
        BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(result.imported, 0);
    EXPECT_EQ(result.errors, 1);  // export.ZIP does not exist: the upper-case name still counts

    result = importStravaFiles(
        *store, {archivePath("a.gpx"), archivePath("export.zip"), archivePath("b.gpx")},
        BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(result.imported, 1);
    auto rides = storedRides();
    ASSERT_EQ(rides.size(), 1u);
    EXPECT_EQ(rides[0]->importSource, "Strava (GPX)");
    EXPECT_NE(test::sessionLogText().find("Strava import: 1 imported, 0 skipped, 0 errors"),
              std::string::npos);
}

TEST_F(ZipImportTest, StravaLooseFilesRunNoDuplicateTest) {
    test::writeFileBytes(archivePath("a.gpx"), bytesOf(makeGpx(kBase)));
    test::writeFileBytes(archivePath("bad.gpx"), bytesOf("<gpx"));
    BulkImportResult result = importStravaFiles(
        *store, {archivePath("a.gpx"), archivePath("a.gpx"), archivePath("bad.gpx")},
        BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(result.skipped, 0);
    ASSERT_EQ(result.fileFailures.size(), 1u);
    EXPECT_EQ(result.fileFailures[0].first, "bad.gpx");
    for (const auto& ride : storedRides()) EXPECT_EQ(ride->importSource, "Strava (GPX)");
}

}  // namespace
}  // namespace vantrel
