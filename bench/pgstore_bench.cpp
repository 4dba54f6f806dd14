// The store on PostgreSQL over 127.0.0.1 (the test server named by VANTREL_TEST_PG_URL, see
// scripts/pg-test-cluster; every benchmark is skipped without it), 20,000 activities:
//
//   BM_ServerYearSummaries   the sidebar's per-year counts
//   BM_ServerCountLive       baseline: one COUNT(*) over the live activities, on the server
//   BM_ServerRemoteChange    a save in one connection until another store's data version moves
//                            and it has re-read its year counts (what the window does)
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <memory>

#include "model/RideStore.h"
#include "support/PgTestDatabase.h"

namespace vantrel {
namespace {

constexpr int kStoredActivities = 20000;
constexpr int kYears = 15;

test::PgTestDatabase* benchDatabase() {
    static const auto database = []() -> std::unique_ptr<test::PgTestDatabase> {
        if (!test::PgTestDatabase::available()) return nullptr;
        auto made = std::make_unique<test::PgTestDatabase>();
        auto store = RideStore::open(made->url());
        Date start = startOfLocalYear(2011);
        double spacing = (startOfLocalYear(2011 + kYears) - start) / kStoredActivities;
        for (int i = 0; i < kStoredActivities; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = start + i * spacing;
            ride->routeData = Bytes(2000, 0);
            if (i % 100 == 0) ride->deletedAt = ride->date;
            store->insert(ride);
            if (i % 1000 == 999) store->save();
        }
        store->save();
        return made;
    }();
    return database.get();
}

bool skipWithoutServer(benchmark::State& state) {
    if (benchDatabase()) return false;
    state.SkipWithError(test::PgTestDatabase::skipReason());
    return true;
}

void BM_ServerYearSummaries(benchmark::State& state) {
    if (skipWithoutServer(state)) return;
    auto store = RideStore::open(benchDatabase()->url());
    for (auto _ : state) benchmark::DoNotOptimize(store->yearSummaries());
}
BENCHMARK(BM_ServerYearSummaries)->Unit(benchmark::kMicrosecond);

void BM_ServerCountLive(benchmark::State& state) {
    if (skipWithoutServer(state)) return;
    PGconn* connection = PQconnectdb(benchDatabase()->url().c_str());
    const char* sql = "SELECT COUNT(*) FROM \"PersistedRide\" WHERE \"deletedAt\" IS NULL";
    PQclear(PQprepare(connection, "count", sql, 0, nullptr));
    for (auto _ : state) {
        PGresult* result = PQexecPrepared(connection, "count", 0, nullptr, nullptr, nullptr, 0);
        benchmark::DoNotOptimize(PQgetvalue(result, 0, 0));
        PQclear(result);
    }
    PQfinish(connection);
}
BENCHMARK(BM_ServerCountLive)->Unit(benchmark::kMicrosecond);

void BM_ServerRemoteChange(benchmark::State& state) {
    if (skipWithoutServer(state)) return;
    auto watcher = RideStore::open(benchDatabase()->url());
    auto writer = RideStore::open(benchDatabase()->url());
    auto version = watcher->dataVersion();
    auto ride = writer->allLiveActivities(false).front();
    int round = 0;
    for (auto _ : state) {
        ride->notes = "round " + std::to_string(++round);
        writer->save();
        while (watcher->dataVersion() == version) {
        }
        version = watcher->dataVersion();
        watcher->refreshAll();
        benchmark::DoNotOptimize(watcher->yearSummaries());
    }
}
BENCHMARK(BM_ServerRemoteChange)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

}  // namespace
}  // namespace vantrel
