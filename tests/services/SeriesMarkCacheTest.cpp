#include <gtest/gtest.h>

#include "analysis/HeatmapCache.h"
#include "analysis/RecordsCache.h"
#include "analysis/TestRoutes.h"
#include "import/ActivityImporter.h"
#include "services/RideTrimService.h"
#include "support/PgTestDatabase.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

constexpr Date kNow = kRideStart + 86'400;

// The records and heatmap caches against a store on a file and on a server alike: each change
// of an activity makes exactly that activity measured again, whoever made the change, and an
// unchanged one is taken from the cache without its series being read.
class SeriesMarkCacheTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (GetParam() == "postgresql") {
            if (!PgTestDatabase::available()) GTEST_SKIP() << PgTestDatabase::skipReason();
            m_database = std::make_unique<PgTestDatabase>();
            m_location = m_database->url();
        } else {
            m_location = (m_environment.root() / "store.sqlite").string();
        }
        m_store = RideStore::open(m_location);
        for (int i = 0; i < 3; ++i) add(kRideStart + i * 3600.0, 300 + 100 * i);
        // The first fill measures everything; from then on only what changed.
        expectRecomputed(3);
        expectRecomputed(0);
    }

    RideRef add(Date start, int seconds) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = start;
        ride->activityType = "running";
        ride->setRoutePoints(steadyRoute(seconds, 1, 3, start));
        ride->duration = seconds;
        m_store->insert(ride);
        m_store->save();
        return ride;
    }

    RideRef first() {
        RideQuery query;
        query.order = RideQuery::Order::dateAscending;
        query.limit = 1;
        return m_store->fetch(query).front();
    }

    /// Both caches brought up to date, each measuring `count` activities.
    void expectRecomputed(std::size_t count) {
        RecordsCache records(m_records);
        auto bests = records.update(*m_store);
        ASSERT_TRUE(bests);
        EXPECT_EQ(records.measuredByLastUpdate(), count) << "records";
        HeatmapCache heatmap(m_heatmap);
        auto lines = heatmap.routes(*m_store, {});
        ASSERT_TRUE(lines);
        EXPECT_EQ(heatmap.lastCounts().simplified, count) << "heatmap";
        EXPECT_EQ(lines->size(), bests->size());
        m_lastLines = std::move(*lines);
    }

    IsolatedEnvironment m_environment;
    std::unique_ptr<PgTestDatabase> m_database;
    std::string m_location;
    std::unique_ptr<RideStore> m_store;
    std::filesystem::path m_records = m_environment.root() / "cache" / "records.sqlite";
    std::filesystem::path m_heatmap = m_environment.root() / "cache" / "heatmap.sqlite";
    std::vector<HeatmapRoute> m_lastLines;
};

TEST_P(SeriesMarkCacheTest, TrimAndUndoEachMeasureThatActivityAgain) {
    RideRef ride = first();
    m_store->loadDetails(ride);
    ASSERT_TRUE(RideTrimService::trim(*ride, RideTrimService::cutTime(*ride, 0.5), kNow));
    m_store->save();
    expectRecomputed(1);
    ASSERT_TRUE(RideTrimService::undoTrim(*ride, kNow));
    m_store->save();
    // Back to the very bytes it had: measured again all the same, since the mark is new.
    expectRecomputed(1);
    expectRecomputed(0);
}

TEST_P(SeriesMarkCacheTest, ImportAndDeleteTouchOnlyThatActivity) {
    const char* name = "togeojson__garmin-connect-run.gpx";
    m_store->insert(std::make_shared<PersistedRide>(
        importActivityFile(readFileBytes(corpusFile(name)), name, std::nullopt)));
    m_store->save();
    expectRecomputed(1);
    EXPECT_EQ(m_lastLines.size(), 4u);

    m_store->remove(first());
    m_store->save();
    expectRecomputed(0);
    EXPECT_EQ(m_lastLines.size(), 3u);
}

TEST_P(SeriesMarkCacheTest, AnEditOfAnotherConnectionIsSeenAndOtherFieldsAreNot) {
    {
        auto other = RideStore::open(m_location);
        RideRef ride = other->fetchByRideID(first()->rideID);
        ride->setRoutePoints(steadyRoute(50, 1, 4));
        other->save();
    }
    expectRecomputed(1);
    EXPECT_EQ(m_lastLines.front().points.size(), 2u) << "the new, straight line";

    // A note or a kind leaves the series as they are: nothing to measure.
    RideRef ride = first();
    ride->notes = "windy";
    ride->activityType = "walking";
    m_store->save();
    expectRecomputed(0);
}

INSTANTIATE_TEST_SUITE_P(Backends, SeriesMarkCacheTest,
                         ::testing::Values(std::string("sqlite"), std::string("postgresql")),
                         [](const ::testing::TestParamInfo<std::string>& backend) {
                             return backend.param;
                         });

}  // namespace
}  // namespace vantrel::test
