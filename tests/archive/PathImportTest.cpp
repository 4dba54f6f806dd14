#include <gtest/gtest.h>

#include "archive/ArchiveExport.h"
#include "archive/PathImport.h"
#include "import/ZipTestArchive.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::makeGpx;

constexpr double kDay = 86400;
constexpr double kBase = 1700000000;  // 2023-11-14

class PathImportTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment environment;
    ScopedSharedLogger logSession;
    fs::path folder = environment.root() / "files";
    std::unique_ptr<RideStore> store = RideStore::open(environment.root() / "store.sqlite");

    void SetUp() override { fs::create_directories(folder / "nested"); }

    fs::path write(const std::string& name, const std::string& text) {
        test::writeFileBytes(folder / name, bytesOf(text));
        return folder / name;
    }

    /// An archive of one activity from another store.
    fs::path writeArchive(const std::string& name, double unixStart) {
        auto other = RideStore::open(environment.root() / (name + ".sqlite"));
        auto ride = std::make_shared<PersistedRide>();
        ride->date = dateFromUnix(unixStart);
        ride->duration = 600;
        other->insert(ride);
        other->save();
        exportArchiveToFile(*other, {ride}, folder / name, PersistentLogger::shared());
        return folder / name;
    }
};

// Files, ZIP archives and folders opened twice come in once: the second time every activity
// overlaps a stored one (archived activities are matched by their identifiers).
TEST_F(PathImportTest, WhatIsAlreadyStoredIsSkippedOnEveryKind) {
    write("ride.gpx", makeGpx(kBase));
    write("nested/run.gpx", makeGpx(kBase + kDay));
    {
        test::ZipTestArchive zip(folder / "export.zip");
        zip.add("a.gpx", makeGpx(kBase + 2 * kDay)).add("b.gpx", makeGpx(kBase + 3 * kDay));
    }
    writeArchive("Vantrel_2023.json", kBase + 4 * kDay);
    std::vector<fs::path> paths = {folder / "ride.gpx", folder / "nested", folder / "export.zip",
                                   folder / "Vantrel_2023.json"};

    PathImportResult first =
        importPaths(*store, paths, BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(first.imported, 5);
    EXPECT_EQ(first.skipped, 0);
    EXPECT_EQ(first.failedCount, 0);
    PathImportResult again =
        importPaths(*store, paths, BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(again.imported, 0);
    EXPECT_EQ(again.skipped, 5);
    EXPECT_EQ(again.summary().text(), "Imported 0 activities. Skipped 5 duplicates.");
    EXPECT_EQ(RideStore::open(environment.root() / "store.sqlite")->count({}), 5);
    EXPECT_NE(
        test::sessionLogText().find("[INFO] [Import] Imported 0 activities. Skipped 2 duplicates."),
        std::string::npos);
}

TEST_F(PathImportTest, WhatCouldNotBeImportedIsNamedWithItsReason) {
    std::vector<fs::path> paths;
    for (int i = 0; i < 4; ++i)
        paths.push_back(write("good" + std::to_string(i) + ".gpx", makeGpx(kBase + i * kDay)));
    paths.push_back(write("broken.gpx", "<gpx"));
    PathImportResult result =
        importPaths(*store, paths, BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(result.summary().text(),
              "Imported 4 activities. Skipped 0 duplicates.\n"
              "1 file could not be imported:\n"
              "broken.gpx: " +
                  result.failures.at(0).second);
    EXPECT_TRUE(result.failures.at(0).second.starts_with("Failed to parse file: "));

    paths.clear();
    for (int i = 0; i < 7; ++i) paths.push_back(write("bad" + std::to_string(i) + ".tcx", ""));
    paths.push_back(folder / "gone.fit");
    std::string text =
        importPaths(*store, paths, BulkImportOptions(PersistentLogger::shared())).summary().text();
    EXPECT_NE(text.find("\n8 files could not be imported:\ngone.fit: The file does not exist.\n"
                        "bad0.tcx: "),
              std::string::npos)
        << text;
    EXPECT_TRUE(text.ends_with("\nand 3 more")) << text;
}

TEST_F(PathImportTest, ASourceLabelNamesWhereFilesAndMembersCameFrom) {
    write("ride.gpx", makeGpx(kBase));
    {
        test::ZipTestArchive zip(folder / "export.zip");
        zip.add("a.gpx", makeGpx(kBase + kDay));
    }
    importPaths(*store, {folder / "ride.gpx", folder / "export.zip"},
                BulkImportOptions(PersistentLogger::shared()), "Folder");
    std::multiset<std::string> sources;
    for (const auto& ride : store->allRecords(false)) sources.insert(*ride->importSource);
    EXPECT_EQ(sources, (std::multiset<std::string>{"Folder (GPX)", "Folder (GPX)"}));
}

}  // namespace
}  // namespace vantrel
