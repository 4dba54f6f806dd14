#include <gtest/gtest.h>
#include <sqlite3.h>

#include "TestRoutes.h"
#include "analysis/RecordsCache.h"
#include "import/ActivityImporter.h"
#include "model/CacheFile.h"
#include "model/Paths.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

/// Rows in the cache file, read through a connection of its own.
int cachedRows(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    int rows = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM routeBests", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        rows = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

class RecordsCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_store = RideStore::open(m_env.root() / "store.sqlite");
        m_cacheFile = RecordsCache::fileFor(m_store->path());
    }

    /// A run at `metresPerSecond` for `seconds`, one point a second.
    RideRef addRun(double metresPerSecond, int seconds, Date start = kRideStart) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = start;
        ride->activityType = "running";
        ride->setRoutePoints(steadyRoute(seconds + 1, 1, metresPerSecond, start));
        ride->duration = seconds;
        ride->distance = metresPerSecond * seconds;
        m_store->insert(ride);
        m_store->save();
        return ride;
    }

    std::vector<PersonalRecords::ActivityBests> update(std::size_t expectMeasured) {
        RecordsCache cache(m_cacheFile);
        auto activities = cache.update(*m_store);
        EXPECT_TRUE(activities.has_value());
        EXPECT_EQ(cache.measuredByLastUpdate(), expectMeasured);
        return activities.value_or(std::vector<PersonalRecords::ActivityBests>{});
    }

    IsolatedEnvironment m_env;
    std::unique_ptr<RideStore> m_store;
    std::filesystem::path m_cacheFile;
};

TEST_F(RecordsCacheTest, RoutesAreMeasuredOnceAndAgainWhenChanged) {
    auto slow = addRun(2.5, 1000);
    addRun(4, 600, kRideStart + 86400);
    EXPECT_EQ(update(2).size(), 2u);
    EXPECT_EQ(m_cacheFile.parent_path(), cacheFolder());
    EXPECT_EQ(cachedRows(m_cacheFile), 2);
    update(0);

    slow->setRoutePoints(steadyRoute(1001, 1, 3));
    m_store->save();
    auto activities = update(1);
    auto fastest1km = activities.front().route[1];
    ASSERT_TRUE(fastest1km);
    EXPECT_NEAR(*fastest1km, 1000.0 / 3, 1e-3);
    EXPECT_EQ(cachedRows(m_cacheFile), 2) << "the entry of the old route is dropped";
}

TEST_F(RecordsCacheTest, DeletedActivitiesArePrunedAndSoftDeletedLeftOut) {
    auto first = addRun(3, 500);
    auto second = addRun(3, 500, kRideStart + 3600);
    addRun(3, 500, kRideStart + 7200);
    update(3);
    m_store->remove(first);
    second->deletedAt = now();
    m_store->save();
    EXPECT_EQ(update(0).size(), 1u);
    EXPECT_EQ(cachedRows(m_cacheFile), 1);
}

TEST_F(RecordsCacheTest, ADeletedOrDamagedFileIsRebuilt) {
    addRun(3, 500);
    addRun(3, 500, kRideStart + 3600);
    update(2);
    std::filesystem::remove(m_cacheFile);
    std::filesystem::remove(m_cacheFile.string() + "-wal");
    update(2);

    writeFileBytes(m_cacheFile, Bytes(4096, 0x5a));
    std::filesystem::remove(m_cacheFile.string() + "-wal");
    std::filesystem::remove(m_cacheFile.string() + "-shm");
    RecordsCache cache(m_cacheFile);
    EXPECT_TRUE(cache.persistent());
    ASSERT_TRUE(cache.update(*m_store));
    EXPECT_EQ(cache.measuredByLastUpdate(), 2u);
    EXPECT_EQ(cachedRows(m_cacheFile), 2);
}

TEST_F(RecordsCacheTest, AFileLockedByAnotherProcessIsLeftAlone) {
    addRun(3, 500);
    update(1);
    addRun(3, 500, kRideStart + 3600);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_cacheFile.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        RecordsCache cache(m_cacheFile);
        auto activities = cache.update(*m_store);
        ASSERT_TRUE(activities);
        EXPECT_TRUE(activities->back().route[0]) << "measured, though it cannot be kept";
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(cachedRows(m_cacheFile), 1) << "the other process's file is not replaced";
    update(1);
}

TEST_F(RecordsCacheTest, ACacheThatCannotBeWrittenWorksInMemory) {
    addRun(3, 500);
    // A plain file where the cache folder should be.
    writeFileBytes(m_env.root() / "blocked", Bytes{1});
    RecordsCache cache(m_env.root() / "blocked" / "records.sqlite");
    EXPECT_FALSE(cache.persistent());
    auto activities = cache.update(*m_store);
    ASSERT_TRUE(activities);
    EXPECT_TRUE(activities->front().route[0]);
}

TEST_F(RecordsCacheTest, CancelledFillKeepsItsWorkAndReportsProgress) {
    // More activities than one batch of routes measured together.
    for (int i = 0; i < 40; ++i) addRun(3, 60, kRideStart + i * 3600);
    CancellationToken token;
    std::vector<std::size_t> seen;
    {
        RecordsCache cache(m_cacheFile);
        auto result = cache.update(
            *m_store,
            [&](std::size_t done, std::size_t total) {
                seen.push_back(done);
                EXPECT_EQ(total, 40u);
                if (done == 32) token.cancel();
            },
            &token);
        EXPECT_FALSE(result);
    }
    ASSERT_EQ(seen.size(), 32u);
    EXPECT_EQ(seen.back(), 32u);
    EXPECT_EQ(update(8).size(), 40u);
}

TEST_F(RecordsCacheTest, StoresGetCachesOfTheirOwn) {
    EXPECT_NE(RecordsCache::fileFor(m_env.root() / "a.sqlite"),
              RecordsCache::fileFor(m_env.root() / "b.sqlite"));
    EXPECT_EQ(RecordsCache::fileFor(m_env.root() / "a.sqlite"),
              RecordsCache::fileFor(m_env.root() / "x" / ".." / "a.sqlite"));
}

TEST_F(RecordsCacheTest, CorpusRecordingsGivePlausibleRecords) {
    for (const char* name :
         {"tcxparser__fr410-run.tcx", "togeojson__garmin-connect-run.gpx",
          "sportslib__suunto-trail-run-6910052863.fit", "fitparse__garmin-edge-500-activity.fit"}) {
        auto ride = std::make_shared<PersistedRide>(
            importActivityFile(readFileBytes(corpusFile(name)), name, std::nullopt));
        m_store->insert(ride);
    }
    m_store->save();
    auto activities = update(4);
    ASSERT_EQ(activities.size(), 4u);
    const auto& kinds = PersonalRecords::routeRecordKinds();
    int measured = 0;
    for (const auto& activity : activities) {
        double previousSpeed = 1e9;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            if (!activity.route[i]) continue;
            ++measured;
            double speed = *PersonalRecords::windowDistance(kinds[i]) / *activity.route[i];
            // No one runs or rides this fast for 400 m or more.
            EXPECT_LT(speed, 25.0) << PersonalRecords::rawValue(kinds[i]);
            // A longer distance can never be covered at a higher average speed than the best
            // shorter stretch inside it.
            EXPECT_LE(speed, previousSpeed + 1e-9) << PersonalRecords::rawValue(kinds[i]);
            if (i + 1 < kinds.size() && kinds[i + 1] == RecordKind::fastest20km)
                previousSpeed = 1e9;
            else
                previousSpeed = speed;
            EXPECT_LE(*activity.route[i], activity.duration + 1e-6);
        }
    }
    EXPECT_GT(measured, 8);
}

}  // namespace
}  // namespace vantrel::test

namespace vantrel::test {
namespace {

TEST_F(RecordsCacheTest, PowerRecordsAreCachedAndFollowTheSeries) {
    auto ride = addRun(8, 1800);
    ride->activityType = "roadCycling";
    std::vector<PowerSample> power;
    for (int i = 0; i <= 1800; ++i)
        power.push_back({Uuid::random(), kRideStart + i, i < 60 ? 400.0 : 200.0});
    ride->setPowerSamples(power);
    m_store->save();
    update(1);
    auto activities = update(0);  // read back from the file, not measured again
    ASSERT_EQ(activities.size(), 1u);
    auto records =
        PersonalRecords::bestRecords(activities, PersonalRecords::KindFilter::everything());
    auto valueOf = [&](RecordKind kind) -> std::optional<double> {
        for (const auto& record : records) {
            if (record.kind == kind) return record.value;
        }
        return std::nullopt;
    };
    EXPECT_DOUBLE_EQ(valueOf(RecordKind::power5s).value_or(0), 400);
    EXPECT_DOUBLE_EQ(valueOf(RecordKind::power1min).value_or(0), 400);
    EXPECT_NEAR(valueOf(RecordKind::power20min).value_or(0), (60 * 400 + 1140 * 200) / 1200.0,
                1e-9);
    EXPECT_FALSE(valueOf(RecordKind::power60min));  // a 30-min ride
    EXPECT_EQ(PersonalRecords::unit(RecordKind::power5s), RecordUnit::watts);
    EXPECT_EQ(
        PersonalRecords::formattedValue(
            *std::find_if(records.begin(), records.end(),
                          [](const PersonalRecord& r) { return r.kind == RecordKind::power5s; }),
            UnitSystem::metric),
        "400 W");

    // A trimmed power series alone changes the entry.
    power.resize(300);
    ride->setPowerSamples(power);
    m_store->save();
    activities = update(1);
    records = PersonalRecords::bestRecords(activities, PersonalRecords::KindFilter::everything());
    EXPECT_FALSE(valueOf(RecordKind::power20min));

    // Only cycling holds power records.
    ride->activityType = "running";
    m_store->save();
    activities = update(0);
    records = PersonalRecords::bestRecords(activities, PersonalRecords::KindFilter::everything());
    EXPECT_FALSE(valueOf(RecordKind::power5s));
}

}  // namespace
}  // namespace vantrel::test

namespace vantrel::test {
namespace {

/// A closed store of its own with one activity: a file nobody may write to by accident.
std::filesystem::path otherStoreFile(const std::filesystem::path& file) {
    auto other = RideStore::open(file);
    auto ride = std::make_shared<PersistedRide>();
    ride->date = kRideStart;
    ride->setRoutePoints(steadyRoute(61, 1, 3, kRideStart));
    other->insert(ride);
    other->save();
    return file;
}

TEST_F(RecordsCacheTest, ALinkInTheCachesPlaceIsNeverWrittenThrough) {
    addRun(3, 500);
    using LinkMaker = void (*)(const std::filesystem::path&, const std::filesystem::path&);
    for (LinkMaker link : {LinkMaker(&std::filesystem::create_symlink),
                           LinkMaker(&std::filesystem::create_hard_link)}) {
        SCOPED_TRACE(link == LinkMaker(&std::filesystem::create_symlink) ? "symlink" : "hard link");
        TempDir folder;
        std::filesystem::path target = otherStoreFile(folder / "other.sqlite");
        Bytes before = readFileBytes(target);
        bool hadJournal = std::filesystem::exists(target.string() + "-wal");
        std::filesystem::path cache = m_env.root() / "cache" / "vantrel" / "linked.sqlite";
        ASSERT_TRUE(CacheFile::prepareFolder(cache.parent_path()));
        link(target, cache);
        for (std::size_t expectMeasured : {1u, 0u}) {
            RecordsCache records(cache);
            EXPECT_TRUE(records.persistent()) << "rebuilt beside the link";
            auto activities = records.update(*m_store);
            ASSERT_TRUE(activities);
            EXPECT_TRUE(activities->front().route[0]);
            EXPECT_EQ(records.measuredByLastUpdate(), expectMeasured);
        }
        EXPECT_EQ(readFileBytes(target), before);
        EXPECT_EQ(std::filesystem::exists(target.string() + "-wal"), hadJournal);
        std::filesystem::remove(cache);
        std::filesystem::remove(cache.parent_path() / "linked.rebuilt.sqlite");
    }
}

TEST_F(RecordsCacheTest, ACacheFolderThatIsASymlinkIsLeftAlone) {
    addRun(3, 500);
    TempDir elsewhere;
    std::filesystem::create_symlink(elsewhere.path(), m_env.root() / "linked");
    RecordsCache cache(m_env.root() / "linked" / "records.sqlite");
    EXPECT_FALSE(cache.persistent());
    auto activities = cache.update(*m_store);
    ASSERT_TRUE(activities);
    EXPECT_TRUE(activities->front().route[0]);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
}

}  // namespace
}  // namespace vantrel::test
