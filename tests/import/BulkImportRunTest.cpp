#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "import/ZipImportService.h"
#include "import/ZipTestArchive.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "support/CommitCuttingProxy.h"
#include "support/PgTestDatabase.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

constexpr double kDay = 86400;
constexpr double kBase = 1700000000;  // 2023-11-14

// Bulk imports beside other writers of the same store, on a file and on a server.
class BulkImportRunTest : public ::testing::TestWithParam<std::string> {
  public:
    test::IsolatedEnvironment environment;
    ScopedSharedLogger logSession;
    std::unique_ptr<test::PgTestDatabase> database;
    std::string location = (environment.root() / "store.sqlite").string();

    void SetUp() override {
        if (GetParam() == "sqlite") return;
        if (!test::PgTestDatabase::available()) GTEST_SKIP() << test::PgTestDatabase::skipReason();
        database = std::make_unique<test::PgTestDatabase>();
        location = database->url();
    }

    /// `count` activities, one a day, and the first of them once more under another name.
    std::filesystem::path archiveWithATwin(int count) {
        auto file = environment.root() / "activities.zip";
        test::ZipTestArchive zip(file);
        for (int day = 0; day < count; ++day)
            zip.add("day" + std::to_string(day) + ".gpx", test::makeGpx(kBase + day * kDay));
        zip.add("again/day0.gpx", test::makeGpx(kBase));
        return file;
    }

    static std::int64_t storedCount(RideStore& store) {
        RideQuery all;
        all.withDetails = false;
        return store.count(all);
    }
};

TEST_P(BulkImportRunTest, WhatAnotherRunStoredMeanwhileIsSkippedAtTheNextSave) {
    auto archive = archiveWithATwin(120);
    auto mine = RideStore::open(location);
    BulkImportOptions options(PersistentLogger::shared());
    options.threads = 1;
    BulkImportResult theirs;
    bool started = false;
    // Once this run has read the store and inserted a few records, another process stores the
    // whole archive; this run's first save must find it.
    options.progress = [&](const ImportProgress& progress) {
        if (progress.importCurrent != 10 || started) return;
        started = true;
        auto other = RideStore::open(location);
        theirs = importZipArchives(*other, {archive}, "ZIP Import",
                                   BulkImportOptions(PersistentLogger::shared()));
    };
    auto result = importZipArchives(*mine, {archive}, "ZIP Import", options);
    ASSERT_TRUE(started);
    // The archive's twin is the other run's own: stored twice, as the archive holds it twice.
    EXPECT_EQ(theirs.imported, 121);
    EXPECT_EQ(result.imported, 0);
    EXPECT_EQ(result.skipped, 121);
    EXPECT_FALSE(result.saveError);
    EXPECT_EQ(storedCount(*RideStore::open(location)), 121);

    // Run again alone, the archive skips everything.
    auto again = importZipArchives(*mine, {archive}, "ZIP Import",
                                   BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(again.imported, 0);
    EXPECT_EQ(again.skipped, 121);
}

INSTANTIATE_TEST_SUITE_P(Backends, BulkImportRunTest,
                         ::testing::Values(std::string("sqlite"), std::string("postgresql")),
                         [](const ::testing::TestParamInfo<std::string>& backend) {
                             return backend.param;
                         });

TEST(BulkImportServerTest, ABatchWhoseCommitWentUnansweredIsCountedAndStoredOnce) {
    if (!test::PgTestDatabase::available()) GTEST_SKIP() << test::PgTestDatabase::skipReason();
    test::IsolatedEnvironment environment;
    ScopedSharedLogger logSession;
    test::PgTestDatabase database;
    test::CommitCuttingProxy proxy(database.url());
    auto file = environment.root() / "activities.zip";
    {
        test::ZipTestArchive zip(file);
        for (int day = 0; day < 150; ++day)
            zip.add("day" + std::to_string(day) + ".gpx", test::makeGpx(kBase + day * kDay));
    }
    auto store = RideStore::open(proxy.url());
    // The save after the 50th record commits, and its answer is lost.
    proxy.cutAfterCommit();
    auto result = importZipArchives(*store, {file}, "ZIP Import",
                                    BulkImportOptions(PersistentLogger::shared()));
    EXPECT_EQ(proxy.cuts(), 1);
    EXPECT_EQ(result.imported, 150);
    EXPECT_EQ(result.errors, 0);
    EXPECT_FALSE(result.saveError);
    EXPECT_EQ(database.column("SELECT count(*) FROM \"PersistedRide\"")[0], "150");
    EXPECT_EQ(database.column("SELECT count(DISTINCT date) FROM \"PersistedRide\"")[0], "150");
}

}  // namespace
}  // namespace vantrel
