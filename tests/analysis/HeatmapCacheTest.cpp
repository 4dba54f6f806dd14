#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "analysis/HeatmapCache.h"
#include "analysis/TestRoutes.h"
#include "model/CacheFile.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

/// A zigzag run north: `count` points, so every route keeps a known number of corners.
std::vector<RoutePoint> zigzag(int count, double offset = 0) {
    std::vector<RoutePoint> route;
    for (int i = 0; i < count; ++i) {
        RoutePoint point = pointAt(i * 20.0, kRideStart + i);
        point.coordinate.longitude += (i % 2 ? 0.0005 : 0) + offset;
        route.push_back(point);
    }
    return route;
}

class HeatmapCacheTest : public ::testing::Test {
  protected:
    IsolatedEnvironment m_environment;
    std::filesystem::path m_storeFile = m_environment.root() / "store.sqlite";
    std::unique_ptr<RideStore> m_store = RideStore::open(m_storeFile);
    std::filesystem::path m_cacheFile = heatmapCachePath(m_storeFile);

    RideRef add(const std::string& kind, Date date, const std::vector<RoutePoint>& route) {
        auto ride = std::make_shared<PersistedRide>();
        ride->activityType = kind;
        ride->date = date;
        ride->setRoutePoints(route);
        m_store->insert(ride);
        m_store->save();
        return ride;
    }

    std::vector<HeatmapRoute> query(HeatmapCache& cache, const HeatmapFilter& filter = {}) {
        auto routes = cache.routes(*m_store, filter);
        EXPECT_TRUE(routes.has_value());
        return routes.value_or(std::vector<HeatmapRoute>{});
    }

    /// Rows in the cache file, read through a connection of its own.
    int cachedRows() {
        sqlite3* db = nullptr;
        sqlite3_open_v2(m_cacheFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM route", -1, &statement, nullptr);
        int rows = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    }
};

TEST_F(HeatmapCacheTest, LivesUnderTheCacheFolderNamedAfterTheStore) {
    EXPECT_EQ(m_cacheFile.parent_path(), m_environment.root() / "cache" / "vantrel");
    EXPECT_EQ(m_cacheFile, heatmapCachePath(m_storeFile));
    EXPECT_NE(m_cacheFile, heatmapCachePath(m_environment.root() / "other.sqlite"));
}

TEST_F(HeatmapCacheTest, SimplifiesEachRouteOnceAndReusesItAfterwards) {
    add("running", kRideStart, zigzag(40));
    add("cycling", kRideStart + 86400, zigzag(60));
    HeatmapCache first(m_cacheFile);
    auto routes = query(first);
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(first.lastCounts().simplified, 2u);
    EXPECT_TRUE(first.isOnDisk());
    EXPECT_EQ(routes[0].points.size(), 40u);  // every zigzag corner is a real turn
    EXPECT_EQ(routes[0].kind, ActivityType::running);
    EXPECT_EQ(routes[1].date, kRideStart + 86400);

    HeatmapCache second(m_cacheFile);  // as the next start of the app would
    EXPECT_EQ(query(second).size(), 2u);
    EXPECT_EQ(second.lastCounts().simplified, 0u);
    EXPECT_EQ(second.lastCounts().reused, 2u);
    EXPECT_EQ(cachedRows(), 2);
}

TEST_F(HeatmapCacheTest, AChangedRouteIsSimplifiedAgainAndADeletedOneIsPruned) {
    RideRef changed = add("running", kRideStart, zigzag(40));
    RideRef deleted = add("running", kRideStart + 60, zigzag(40, 0.01));
    add("running", kRideStart + 120, zigzag(40, 0.02));
    HeatmapCache cache(m_cacheFile);
    query(cache);

    // A trim shortens the stored route; an undo would change it back the same way.
    changed->setRoutePoints(zigzag(10));
    m_store->remove(deleted);
    m_store->save();
    auto routes = query(cache);
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[0].points.size(), 10u);
    EXPECT_EQ(cache.lastCounts().simplified, 1u);
    EXPECT_EQ(cache.lastCounts().reused, 1u);
    EXPECT_EQ(cache.lastCounts().pruned, 1u);
    EXPECT_EQ(cachedRows(), 2);  // the old line of the trimmed route went too
}

TEST_F(HeatmapCacheTest, ADeletedOrDamagedFileIsBuiltAfresh) {
    add("running", kRideStart, zigzag(40));
    add("running", kRideStart + 60, zigzag(40, 0.01));
    {
        HeatmapCache cache(m_cacheFile);
        query(cache);
    }
    std::filesystem::remove(m_cacheFile);
    HeatmapCache afterDeletion(m_cacheFile);
    EXPECT_EQ(query(afterDeletion).size(), 2u);
    EXPECT_EQ(afterDeletion.lastCounts().simplified, 2u);
    EXPECT_EQ(cachedRows(), 2);

    std::filesystem::remove(m_cacheFile.string() + "-wal");
    std::filesystem::remove(m_cacheFile.string() + "-shm");
    std::ofstream(m_cacheFile, std::ios::trunc) << std::string(8192, 'x');
    HeatmapCache afterDamage(m_cacheFile);
    EXPECT_EQ(query(afterDamage).size(), 2u);
    EXPECT_TRUE(afterDamage.isOnDisk());
    EXPECT_EQ(cachedRows(), 2);
}

TEST_F(HeatmapCacheTest, AnUnwritableCacheFolderStillGivesTheLines) {
    std::ofstream(m_environment.root() / "blocker") << "a file where a folder should be";
    HeatmapCache cache(m_environment.root() / "blocker" / "heatmap.sqlite");
    add("running", kRideStart, zigzag(40));
    EXPECT_EQ(query(cache).size(), 1u);
    EXPECT_FALSE(cache.isOnDisk());
}

TEST_F(HeatmapCacheTest, PicksKindsGroupsAndYearsAndSkipsActivitiesWithoutALine) {
    Date year2023 = dateFromUnix(1'688'000'000);  // mid 2023
    Date year2024 = dateFromUnix(1'720'000'000);  // mid 2024
    add("mountainBiking", year2023, zigzag(20));
    add("roadCycling", year2024, zigzag(20));
    add("treadmill", year2024, zigzag(20));
    add("walking", year2024, zigzag(20));
    add("walking", year2024, {});                        // no route at all
    add("walking", year2024, {pointAt(0, kRideStart)});  // a single point
    auto softDeleted = add("walking", year2024, zigzag(20));
    softDeleted->deletedAt = kRideStart;
    m_store->save();

    HeatmapCache cache(m_cacheFile);
    EXPECT_EQ(query(cache).size(), 4u);
    HeatmapFilter cycling{*activityKindsNamed("cycling"), {}};
    EXPECT_EQ(query(cache, cycling).size(), 2u);
    HeatmapFilter cyclingIn2024{*activityKindsNamed("Cycling"), {2024}};
    auto lines = query(cache, cyclingIn2024);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].kind, ActivityType::roadCycling);
    EXPECT_EQ(query(cache, {*activityKindsNamed("running"), {}}).size(), 1u);  // the treadmill
    EXPECT_EQ(query(cache, {{}, {2023, 2024}}).size(), 4u);
    EXPECT_EQ(query(cache, {{}, {2022}}).size(), 0u);
    EXPECT_FALSE(activityKindsNamed("unicycling"));
    EXPECT_EQ(*activityKindsNamed("ebiking"), std::vector{ActivityType::eBiking});
}

TEST_F(HeatmapCacheTest, ACancelledBuildKeepsWhatItDidForTheNextQuery) {
    for (int i = 0; i < 10; ++i) add("running", kRideStart + i, zigzag(30, i * 0.01));
    CancellationToken cancel;
    std::vector<std::size_t> seen;
    HeatmapCache cache(m_cacheFile);
    auto routes = cache.routes(
        *m_store, {},
        [&](std::size_t done, std::size_t total) {
            seen.push_back(done);
            EXPECT_EQ(total, 10u);
            if (done == 4) cancel.cancel();
        },
        &cancel);
    EXPECT_FALSE(routes);
    EXPECT_EQ(seen, (std::vector<std::size_t>{1, 2, 3, 4}));
    EXPECT_EQ(query(cache).size(), 10u);
    EXPECT_EQ(cache.lastCounts().reused, 4u);
    EXPECT_EQ(cache.lastCounts().simplified, 6u);
}

TEST_F(HeatmapCacheTest, ASymlinkInTheCachesPlaceLeavesItsTargetAlone) {
    add("running", kRideStart, zigzag(40));
    // An unrelated database with a table of the cache's own name, which a rebuild would drop.
    std::filesystem::path target = m_environment.root() / "unrelated.sqlite";
    sqlite3* db = nullptr;
    sqlite3_open(target.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE route (name TEXT); INSERT INTO route VALUES ('kept')", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
    Bytes before = readFileBytes(target);
    ASSERT_TRUE(CacheFile::prepareFolder(m_cacheFile.parent_path()));
    std::filesystem::create_symlink(target, m_cacheFile);

    for (std::size_t reused : {0u, 1u}) {
        HeatmapCache cache(m_cacheFile);
        EXPECT_EQ(query(cache).size(), 1u);
        EXPECT_TRUE(cache.isOnDisk()) << "rebuilt beside the symlink";
        EXPECT_EQ(cache.lastCounts().reused, reused);
    }
    EXPECT_EQ(readFileBytes(target), before);
    EXPECT_TRUE(std::filesystem::is_symlink(m_cacheFile));
    EXPECT_FALSE(std::filesystem::exists(target.string() + "-wal"));
}

}  // namespace
}  // namespace vantrel::test
