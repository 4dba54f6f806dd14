#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>

#include "analysis/CacheDatabase.h"
#include "analysis/HeatmapCache.h"
#include "analysis/RecordsCache.h"
#include "analysis/TestRoutes.h"
#include "model/Paths.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

constexpr const char* kSchema = "CREATE TABLE entry(rideID TEXT NOT NULL, value INTEGER)";

int entries(CacheDatabase& db) {
    sqlite3_stmt* count = db.statement("SELECT count(*) FROM entry");
    int rows = count && sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int(count, 0) : -1;
    if (count) sqlite3_reset(count);
    return rows;
}

void addEntry(CacheDatabase& db, const char* rideID) {
    ASSERT_TRUE(db.beginWrite());
    sqlite3_stmt* insert = db.statement("INSERT INTO entry VALUES (?1, 1)");
    ASSERT_TRUE(insert);
    sqlite3_bind_text(insert, 1, rideID, -1, SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
}

TEST(CacheDatabaseTest, BothCachesOfAStoreLiveSideBySideUnderTheXdgCacheFolder) {
    IsolatedEnvironment environment;
    auto store = environment.root() / "store.sqlite";
    auto records = RecordsCache::fileFor(store);
    auto heatmap = heatmapCachePath(store);
    EXPECT_EQ(records.parent_path(), cacheFolder());
    EXPECT_EQ(heatmap.parent_path(), cacheFolder());
    EXPECT_EQ(records.filename().string().substr(7), heatmap.filename().string().substr(7))
        << "one hash of the location, two kinds";

    // A relative folder is not one the XDG rules accept: both fall back to the home's.
    std::string saved = std::getenv("XDG_CACHE_HOME");
    setenv("XDG_CACHE_HOME", "relative/cache", 1);
    EXPECT_EQ(heatmapCachePath(store).parent_path(), cacheFolder());
    EXPECT_TRUE(heatmapCachePath(store).is_absolute());
    setenv("XDG_CACHE_HOME", saved.c_str(), 1);
}

TEST(CacheDatabaseTest, AServerStoreKeepsItsCachesFromAnyFolder) {
    IsolatedEnvironment environment;
    std::filesystem::path url = "postgresql://me@db.example/history";
    auto before = CacheDatabase::fileFor("heatmap", url);
    auto folder = std::filesystem::current_path();
    std::filesystem::current_path(environment.root());
    auto after = CacheDatabase::fileFor("heatmap", url);
    std::filesystem::current_path(folder);
    EXPECT_EQ(before, after);
    EXPECT_NE(CacheDatabase::fileFor("heatmap", "postgresql://me@db.example/other"), before);
}

TEST(CacheDatabaseTest, AnotherLayoutVersionIsEmptiedAndPruningKeepsTheLive) {
    IsolatedEnvironment environment;
    auto file = environment.root() / "cache.sqlite";
    {
        CacheDatabase db(file, 1, kSchema);
        ASSERT_TRUE(db.onDisk());
        addEntry(db, "a");
        addEntry(db, "b");
        addEntry(db, "b");
        db.commit();
        EXPECT_EQ(db.prune("entry", {"a"}), 1u);
        EXPECT_EQ(entries(db), 1);
    }
    CacheDatabase same(file, 1, kSchema);
    EXPECT_EQ(entries(same), 1);
    CacheDatabase newer(file, 2, kSchema);
    EXPECT_TRUE(newer.onDisk());
    EXPECT_EQ(entries(newer), 0);
}

TEST(CacheDatabaseTest, AFileBusyInAnotherProcessIsNeverRemoved) {
    IsolatedEnvironment environment;
    auto file = environment.root() / "cache.sqlite";
    {
        CacheDatabase db(file, 1, kSchema);
        addEntry(db, "a");
        db.commit();
    }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        CacheDatabase db(file, 1, kSchema);
        // Writes wait for the lock and then give up: the entry is simply not kept.
        if (db.beginWrite()) {
            sqlite3_stmt* insert = db.statement("INSERT INTO entry VALUES ('b', 1)");
            if (insert && sqlite3_step(insert) != SQLITE_DONE) db.recover();
        }
        db.commit();
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    CacheDatabase after(file, 1, kSchema);
    EXPECT_TRUE(after.onDisk());
    EXPECT_EQ(entries(after), 1) << "the other process's entries are still there";
}

}  // namespace
}  // namespace vantrel::test
