// The records and heatmap of a long history with their caches filled: a request compares the
// series marks and reads no series. The "BeforeMarks" runs time what a filled cache cost per
// request while its entries were keyed by a hash of the series, for the ratio.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cmath>
#include <map>
#include <memory>

#include "BenchFolder.h"
#include "HistoryStoreGenerator.h"
#include "analysis/CacheDatabase.h"
#include "analysis/HeatmapCache.h"
#include "analysis/RecordsCache.h"

namespace {

using namespace vantrel;

// Fifteen minutes at one point a second: a short commute or walk.
constexpr int kPointsPerRoute = 900;

struct FilledStore {
    std::filesystem::path store;
    std::filesystem::path records;
    std::filesystem::path heatmap;
};

/// A short loop of `count` points around a place that moves with `seed`, one point a second.
std::vector<RoutePoint> loopRoute(std::int64_t seed, int count, Date start) {
    std::vector<RoutePoint> route;
    route.reserve(static_cast<std::size_t>(count));
    double latitude = 46.0 + static_cast<double>(seed % 200) * 0.01;
    double longitude = 7.0 + static_cast<double>(seed % 300) * 0.01;
    for (int i = 0; i < count; ++i) {
        double angle = 2 * M_PI * i / count;
        route.push_back({Uuid::random(),
                         {latitude + 0.005 * std::sin(angle), longitude + 0.007 * std::cos(angle)},
                         400 + 20 * std::sin(angle * 3),
                         start + i});
    }
    return route;
}

/// The generated history with routes and heart rate (kept between runs, see
/// HistoryStoreGenerator.h) and both caches filled once beside it: later runs find them filled.
const FilledStore& filledStore(std::int64_t count) {
    static std::map<std::int64_t, FilledStore> stores;
    auto found = stores.find(count);
    if (found != stores.end()) return found->second;
    std::string name = std::to_string(count);
    auto folder = bench::benchStoreFolder();
    FilledStore filled{bench::cachedHistoryStore(count, true),
                       folder / ("records-" + name + ".sqlite"),
                       folder / ("heatmap-" + name + ".sqlite")};
    auto store = RideStore::open(filled.store);
    RecordsCache(filled.records).update(*store);
    HeatmapCache(filled.heatmap).routes(*store, {});
    return stores.emplace(count, filled).first->second;
}

void BM_RecordsFilledCache(benchmark::State& state) {
    const auto& filled = filledStore(state.range(0));
    auto store = RideStore::open(filled.store);
    std::size_t measured = 0;
    for (auto _ : state) {
        RecordsCache cache(filled.records);
        benchmark::DoNotOptimize(cache.update(*store));
        measured += cache.measuredByLastUpdate();
    }
    state.counters["measured"] = static_cast<double>(measured);
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_RecordsFilledCache)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_HeatmapFilledCache(benchmark::State& state) {
    const auto& filled = filledStore(state.range(0));
    auto store = RideStore::open(filled.store);
    std::size_t simplified = 0;
    for (auto _ : state) {
        HeatmapCache cache(filled.heatmap);
        benchmark::DoNotOptimize(cache.routes(*store, {}));
        simplified += cache.lastCounts().simplified;
    }
    state.counters["simplified"] = static_cast<double>(simplified);
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_HeatmapFilledCache)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// What a filled records cache did per request while keyed by a hash of the series: every
// activity's details loaded (photos included) and its route and power hashed. A floor: the
// lookups in the cache come on top.
void BM_RecordsBeforeMarks(benchmark::State& state) {
    const auto& filled = filledStore(state.range(0));
    auto store = RideStore::open(filled.store);
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (auto& ride : store->allLiveActivities(false)) {
            store->loadDetails(ride);
            sum += CacheDatabase::seriesHash(ride->routeData, ride->powerData);
            ride.reset();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_RecordsBeforeMarks)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The same for the heatmap, which read and hashed every route.
void BM_HeatmapBeforeMarks(benchmark::State& state) {
    const auto& filled = filledStore(state.range(0));
    auto store = RideStore::open(filled.store);
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const auto& ride : store->allLiveActivities(false))
            sum += CacheDatabase::seriesHash(store->storedRouteData(ride->objectID));
        benchmark::DoNotOptimize(sum);
    }
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_HeatmapBeforeMarks)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// What every filled-cache request reads at least, the summaries with their marks, against the
// live list of full records the caches read before.
void BM_LiveList(benchmark::State& state) {
    const auto& filled = filledStore(state.range(0));
    auto store = RideStore::open(filled.store);
    for (auto _ : state) benchmark::DoNotOptimize(store->allLiveActivities(false));
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_LiveList)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_LiveSummaries(benchmark::State& state) {
    const auto& filled = filledStore(state.range(0));
    auto store = RideStore::open(filled.store);
    for (auto _ : state) benchmark::DoNotOptimize(store->liveSummaries());
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_LiveSummaries)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// What keeping the marks costs a save of new activities: 2,000 activities with a route, into a
// store whose mark triggers are there (1) or were dropped (0).
void BM_SaveNewActivities(benchmark::State& state) {
    static bench::BenchFolder folder("save");
    std::int64_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto file = folder.path / ("save-" + std::to_string(round++) + ".sqlite");
        RideStore::open(file);
        if (state.range(0) == 0) {
            sqlite3* db = nullptr;
            sqlite3_open(file.c_str(), &db);
            sqlite3_exec(db,
                         "DROP TRIGGER PersistedRide_markInsert;"
                         "DROP TRIGGER PersistedRide_markSeries",
                         nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        auto store = RideStore::open(file);
        for (int i = 0; i < 2000; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = 1.6e9 + i * 3600.0;
            ride->setRoutePoints(loopRoute(i, kPointsPerRoute, ride->date));
            store->insert(ride);
        }
        state.ResumeTiming();
        store->save();
    }
    state.SetLabel(state.range(0) ? "with marks" : "without marks");
}
BENCHMARK(BM_SaveNewActivities)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
