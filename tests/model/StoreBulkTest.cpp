#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "model/RideStore.h"
#include "model/StoreOnBothBackends.h"

namespace vantrel {
namespace {

// What walks a whole history (deleting thousands, reading every row) on both backends, with
// more rows than one batch of either, checked through a connection of its own.
class StoreBulkTest : public test::StoreOnBothBackends {
  public:
    std::int64_t countOf(const std::string& table) {
        return std::stoll(column("SELECT count(*) FROM \"" + table + "\"").at(0));
    }

    /// `count` records a minute apart, every tenth with a photo; returns them oldest first.
    std::vector<RideRef> addRides(int count) {
        std::vector<RideRef> rides;
        for (int i = 0; i < count; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = 700000000 + i * 60.0;
            ride->distance = i;
            if (i % 10 == 0) {
                RidePhoto photo;
                photo.imageData = Bytes{1, 2, 3};
                ride->photos.push_back(photo);
            }
            store->insert(ride);
            rides.push_back(ride);
        }
        store->save();
        return rides;
    }

    void refuseDeletingNotes(const std::string& notes) {
        if (onServer()) {
            exec(
                "CREATE FUNCTION keep() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                "IF OLD.notes = '" +
                notes +
                "' THEN RAISE EXCEPTION 'kept'; END IF; RETURN OLD; END $$;"
                "CREATE TRIGGER keep BEFORE DELETE ON \"PersistedRide\" FOR EACH ROW "
                "EXECUTE FUNCTION keep()");
        } else {
            exec("CREATE TRIGGER keep BEFORE DELETE ON PersistedRide WHEN OLD.notes = '" + notes +
                 "' BEGIN SELECT RAISE(ABORT, 'kept'); END");
        }
    }
};

std::vector<std::int64_t> objectIDsOf(const std::vector<RideRef>& rides) {
    std::vector<std::int64_t> ids;
    for (const auto& ride : rides) ids.push_back(ride->objectID);
    return ids;
}

TEST_P(StoreBulkTest, DeletingThousandsIsOneTransactionThatAFailureUndoesWhole) {
    auto rides = addRides(1300);
    // A row in the third batch refuses to go: the two batches before it must come back.
    rides[1100]->notes = "keep";
    store->save();
    refuseDeletingNotes("keep");
    auto ids = objectIDsOf(rides);
    std::vector<std::size_t> reported;
    EXPECT_THROW(
        store->deleteSaved(ids, [&](std::size_t done, std::size_t) { reported.push_back(done); }),
        StoreError);
    EXPECT_EQ(countOf("PersistedRide"), 1300);
    EXPECT_EQ(countOf("RidePhoto"), 130);
    EXPECT_EQ(rides[5]->objectID, ids[5]);
    EXPECT_EQ(reported, (std::vector<std::size_t>{500, 1000}));

    exec(onServer() ? "DROP TRIGGER keep ON \"PersistedRide\"" : "DROP TRIGGER keep");
    // An unsaved change of a deleted record has nothing left to be written to.
    rides[7]->notes = "edited";
    reported.clear();
    store->deleteSaved(ids, [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 1300u);
        reported.push_back(done);
    });
    EXPECT_EQ(reported, (std::vector<std::size_t>{500, 1000, 1300}));
    EXPECT_EQ(countOf("PersistedRide"), 0);
    EXPECT_EQ(countOf("RidePhoto"), 0);
    EXPECT_TRUE(std::all_of(rides.begin(), rides.end(),
                            [](const RideRef& ride) { return ride->objectID == 0; }));
    EXPECT_FALSE(store->hasChanges());
    EXPECT_TRUE(store->allRecords().empty());
}

TEST_P(StoreBulkTest, AnotherConnectionsDeletionIsForgottenWithThePendingRemovals) {
    auto rides = addRides(3);
    auto other = RideStore::open(location);
    other->deleteSaved({rides[0]->objectID, rides[1]->objectID});
    store->remove(rides[1]);
    store->forgetDeleted({rides[0]->objectID, rides[1]->objectID});
    EXPECT_EQ(rides[0]->objectID, 0);
    EXPECT_NE(rides[2]->objectID, 0);
    EXPECT_FALSE(store->hasChanges());
    EXPECT_EQ(store->allRecords().size(), 1u);
}

TEST_P(StoreBulkTest, VisitingReadGivesEveryRowInOrderAsFetchDoes) {
    auto rides = addRides(4500);
    for (int i = 0; i < 60; ++i) rides[static_cast<size_t>(i)]->routeData = Bytes(2000, 9);
    store->save();
    RideQuery query;
    query.order = RideQuery::Order::dateDescending;
    query.withDetails = false;
    std::vector<Uuid> visited;
    store->visit(query, [&](const PersistedRide& ride) {
        EXPECT_FALSE(ride.routeData);
        visited.push_back(ride.rideID);
    });
    ASSERT_EQ(visited.size(), 4500u);
    EXPECT_EQ(visited.front(), rides.back()->rideID);
    EXPECT_EQ(visited.back(), rides.front()->rideID);
    // With details the batches are small: every series arrives whole.
    query.withDetails = true;
    query.order = RideQuery::Order::dateAscending;
    int withRoute = 0;
    store->visit(query, [&](const PersistedRide& ride) {
        if (ride.routeData == Bytes(2000, 9)) ++withRoute;
    });
    EXPECT_EQ(withRoute, 60);
    EXPECT_EQ(store->fetch(query).size(), 4500u);
}

// A read that loses the server halfway reports it, and the next read connects again.
TEST_P(StoreBulkTest, AReadCutOffHalfwayIsAStoreErrorAndTheStoreStaysUsable) {
    if (!onServer()) GTEST_SKIP() << "a file has no connection to lose";
    addRides(4500);
    RideQuery query;
    query.withDetails = false;
    int visited = 0;
    EXPECT_THROW(store->visit(query,
                              [&](const PersistedRide&) {
                                  if (visited++ == 10)
                                      database->exec(
                                          "SELECT pg_terminate_backend(pid) FROM "
                                          "pg_stat_activity WHERE datname = current_database() "
                                          "AND pid <> pg_backend_pid()");
                              }),
                 StoreError);
    EXPECT_LT(visited, 4500);
    visited = 0;
    store->visit(query, [&](const PersistedRide&) { ++visited; });
    EXPECT_EQ(visited, 4500);
    EXPECT_EQ(store->fetch(query).size(), 4500u);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreBulkTest,
                         ::testing::Values(std::string("sqlite"), std::string("postgresql")),
                         [](const ::testing::TestParamInfo<std::string>& backend) {
                             return backend.param;
                         });

}  // namespace
}  // namespace vantrel
