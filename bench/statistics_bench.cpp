// Statistics of a long history against the cheapest query over the same rows: one
// SELECT SUM(distance) of every live activity.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/RideStore.h"

namespace vantrel {
namespace {

constexpr int kStoredActivities = 20000;
constexpr int kYears = 15;

// A store file removed when the program ends.
struct BenchStore {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("vantrel-statistics-bench-" + std::to_string(::getpid()) + ".sqlite");
    BenchStore() {
        auto store = RideStore::open(path);
        Date start = startOfLocalYear(2011);
        double spacing = (startOfLocalYear(2011 + kYears) - start) / kStoredActivities;
        const auto& kinds = allActivityTypes();
        for (int i = 0; i < kStoredActivities; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = start + i * spacing;
            ride->activityType = std::string(rawValue(kinds[static_cast<std::size_t>(i) % 7]));
            ride->distance = 1000.0 + i % 50000;
            ride->activeTime = i % 3 == 0 ? 0 : 3600;
            ride->duration = 4000;
            ride->elevationGain = i % 700;
            // Routes make the rows as long as real ones: the sums must not read them.
            ride->routeData = Bytes(2000, 0);
            if (i % 100 == 0) ride->deletedAt = ride->date;
            store->insert(ride);
        }
        store->save();
    }
    ~BenchStore() {
        std::error_code ignored;
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path.string() + suffix, ignored);
    }
};

const std::filesystem::path& benchStore() {
    static const BenchStore store;
    return store.path;
}

void BM_Statistics(benchmark::State& state) {
    auto store = RideStore::open(benchStore());
    StatisticsQuery query;
    query.period = static_cast<StatisticsPeriod>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(store->statistics(query));
    state.SetLabel(std::string(rawValue(query.period)));
}
BENCHMARK(BM_Statistics)
    ->Arg(static_cast<int>(StatisticsPeriod::week))
    ->Arg(static_cast<int>(StatisticsPeriod::month))
    ->Arg(static_cast<int>(StatisticsPeriod::year))
    ->Unit(benchmark::kMillisecond);

void BM_StatisticsOfCyclingKinds(benchmark::State& state) {
    auto store = RideStore::open(benchStore());
    StatisticsQuery query;
    query.period = StatisticsPeriod::week;
    query.kinds = {ActivityType::cycling,       ActivityType::mountainBiking,
                   ActivityType::roadCycling,   ActivityType::gravelCycling,
                   ActivityType::indoorCycling, ActivityType::eBiking};
    for (auto _ : state) benchmark::DoNotOptimize(store->statistics(query));
}
BENCHMARK(BM_StatisticsOfCyclingKinds)->Unit(benchmark::kMillisecond);

void BM_YearToDateDistance(benchmark::State& state) {
    auto store = RideStore::open(benchStore());
    for (auto _ : state) benchmark::DoNotOptimize(store->yearToDateDistance({}));
}
BENCHMARK(BM_YearToDateDistance)->Unit(benchmark::kMillisecond);

// Baseline: one sum over every live activity.
void BM_SumDistance(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open(benchStore().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT SUM(distance) FROM PersistedRide WHERE deletedAt IS NULL", -1,
                       &statement, nullptr);
    for (auto _ : state) {
        sqlite3_step(statement);
        benchmark::DoNotOptimize(sqlite3_column_double(statement, 0));
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
}
BENCHMARK(BM_SumDistance)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel
