#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "CliProcess.h"
#include "import/ZipTestArchive.h"
#include "model/Date.h"
#include "model/RideStore.h"
#include "support/PgTestDatabase.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

/// One-column answers of a connection of its own, as a third process would open the store
/// (read-write: after a crash the first connection recovers the write-ahead log).
inline std::vector<std::string> queryStore(const std::filesystem::path& store,
                                           const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> values;
    if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            auto text = sqlite3_column_text(statement, 0);
            values.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(statement);
    }
    if (values.empty()) values.push_back(std::string("error: ") + sqlite3_errmsg(db));
    sqlite3_close(db);
    return values;
}

/// A ZIP of `count` small GPX activities, one a day from `firstDay` days after 2023-11-14.
inline void writeActivityZip(const std::filesystem::path& file, int count, int firstDay) {
    ZipTestArchive zip(file);
    for (int i = 0; i < count; ++i) {
        int day = firstDay + i;
        zip.add("activities/day" + std::to_string(day) + ".gpx",
                makeGpx(1700000000.0 + day * 86400.0, 60));
    }
}

constexpr int kActivities = 150;

int countOf(const std::filesystem::path& store, const std::string& sql) {
    auto values = queryStore(store, sql);
    int count = -1;
    std::from_chars(values.front().data(), values.front().data() + values.front().size(), count);
    return count;
}

// What every opening of the store after a crash must find: an intact file, readable by the
// store itself, holding each activity at most once.
void expectConsistent(const std::filesystem::path& store, int atMost) {
    if (!std::filesystem::exists(store)) return;  // killed before it made the file
    EXPECT_EQ(queryStore(store, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    EXPECT_NO_THROW(RideStore::open(store)->yearSummaries());
    int stored = countOf(store, "SELECT count(*) FROM PersistedRide");
    EXPECT_GE(stored, 0);
    EXPECT_LE(stored, atMost);
    EXPECT_EQ(countOf(store, "SELECT count(*) - count(DISTINCT date) FROM PersistedRide"), 0);
}

class ImportProcessesTest : public ::testing::Test {
  public:
    IsolatedEnvironment environment;  // children inherit its preference and log folders
    std::filesystem::path folder = environment.root();
    std::filesystem::path store = folder / "store.sqlite";

    std::vector<std::string> importZip(const std::filesystem::path& zip) const {
        return {"--store", store.string(), "import-zip", zip.string()};
    }
};

TEST_F(ImportProcessesTest, KilledImportsLeaveAConsistentStoreThatARerunCompletes) {
    auto zip = folder / "activities.zip";
    writeActivityZip(zip, kActivities, 0);
    // How long one whole run takes here, so that the kills land anywhere inside a run.
    auto started = std::chrono::steady_clock::now();
    CliProcess timing({"--store", (folder / "timing.sqlite").string(), "import-zip", zip.string()},
                      folder, "timing");
    ASSERT_EQ(timing.wait(), 0) << timing.output();
    auto wholeRun = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - started);

    std::random_device device;
    unsigned seed = device();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> moment(0, wholeRun.count());
    for (int attempt = 0; attempt < 8; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        CliProcess child(importZip(zip), folder, "killed");
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        child.kill();
        child.wait();
        expectConsistent(store, kActivities);
        // A kill after the run completed tests nothing more; start again with nothing stored.
        if (countOf(store, "SELECT count(*) FROM PersistedRide") == kActivities) {
            for (const char* suffix : {"", "-wal", "-shm"})
                std::filesystem::remove(store.string() + suffix);
        }
    }
    CliProcess rerun(importZip(zip), folder, "rerun");
    ASSERT_EQ(rerun.wait(), 0) << rerun.output();
    expectConsistent(store, kActivities);
    EXPECT_EQ(countOf(store, "SELECT count(*) FROM PersistedRide"), kActivities);
}

TEST_F(ImportProcessesTest, TwoProcessesImportIntoOneStoreAtOnce) {
    auto first = folder / "first.zip";
    auto second = folder / "second.zip";
    writeActivityZip(first, kActivities, 0);
    writeActivityZip(second, kActivities, kActivities);
    // Neither finds a store: both create it, then both write to it.
    CliProcess one(importZip(first), folder, "first");
    CliProcess two(importZip(second), folder, "second");
    EXPECT_EQ(one.wait(), 0) << one.output();
    EXPECT_EQ(two.wait(), 0) << two.output();
    expectConsistent(store, 2 * kActivities);
    EXPECT_EQ(countOf(store, "SELECT count(*) FROM PersistedRide"), 2 * kActivities);
}

// The counts in "Imported N activities. Skipped M duplicates."
std::pair<int, int> reportedCounts(const std::string& output) {
    std::pair<int, int> counts{-1, -1};
    auto imported = output.find("Imported ");
    auto skipped = output.find("Skipped ");
    if (imported == std::string::npos || skipped == std::string::npos) return counts;
    counts.first = std::atoi(output.c_str() + imported + 9);
    counts.second = std::atoi(output.c_str() + skipped + 8);
    return counts;
}

// The same archive imported by two processes at once, into a file and into a server.
class ArchiveTwiceAtOnceTest : public ::testing::TestWithParam<std::string> {
  public:
    IsolatedEnvironment environment;
    std::filesystem::path folder = environment.root();
    std::unique_ptr<PgTestDatabase> database;
    std::string location = (folder / "store.sqlite").string();

    void SetUp() override {
        if (GetParam() == "sqlite") return;
        if (!PgTestDatabase::available()) GTEST_SKIP() << PgTestDatabase::skipReason();
        database = std::make_unique<PgTestDatabase>();
        location = database->url();
    }

    int count(const std::string& sql) {
        if (!database) return countOf(location, sql);
        return std::atoi(database->column(sql).front().c_str());
    }

    // Together the runs import each new activity once and skip every other member they read.
    void importTwiceAtOnce(const std::filesystem::path& zip, int members, int newOnes) {
        std::vector<std::string> args = {"--store", location, "import-zip", zip.string()};
        CliProcess one(args, folder, "one");
        CliProcess two(args, folder, "two");
        ASSERT_EQ(one.wait(), 0) << one.output();
        ASSERT_EQ(two.wait(), 0) << two.output();
        auto first = reportedCounts(one.output());
        auto second = reportedCounts(two.output());
        EXPECT_EQ(first.first + second.first, newOnes) << one.output() << two.output();
        EXPECT_EQ(first.second + second.second, 2 * members - newOnes)
            << one.output() << two.output();
    }
};

TEST_P(ArchiveTwiceAtOnceTest, TwoProcessesImportingOneArchiveStoreEachActivityOnce) {
    auto zip = folder / "activities.zip";
    writeActivityZip(zip, kActivities, 0);
    importTwiceAtOnce(zip, kActivities, kActivities);
    EXPECT_EQ(count("SELECT count(*) FROM \"PersistedRide\""), kActivities);
    // Half of this one is stored already; the other half arrives once.
    auto overlapping = folder / "overlapping.zip";
    writeActivityZip(overlapping, kActivities, kActivities / 2);
    importTwiceAtOnce(overlapping, kActivities, kActivities / 2);
    EXPECT_EQ(count("SELECT count(*) FROM \"PersistedRide\""), kActivities * 3 / 2);
    EXPECT_EQ(count("SELECT count(DISTINCT date) FROM \"PersistedRide\""), kActivities * 3 / 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, ArchiveTwiceAtOnceTest,
                         ::testing::Values(std::string("sqlite"), std::string("postgresql")),
                         [](const ::testing::TestParamInfo<std::string>& backend) {
                             return backend.param;
                         });

}  // namespace
}  // namespace vantrel::test
