// The sidebar filter over a long history: a key press must be answered (the matching years'
// counts and the matching activities known) in at most 50 ms at 100,000 activities. The
// index it searches is built once per store change, off the main thread; its cost is shown too.
// The history is the generated one with routes and heart rate, made once into a folder under
// /tmp and reused by later runs (see HistoryStoreGenerator.h).
#include <benchmark/benchmark.h>

#include <memory>

#include "HistoryStoreGenerator.h"
#include "model/HistoryFilterIndex.h"

namespace {

using namespace vantrel;

/// The generated history with routes and heart rate, kept between runs (see
/// HistoryStoreGenerator.h): the index is built from the store as the app has it.
std::filesystem::path storeOf(std::int64_t count) {
    return bench::cachedHistoryStore(count, true);
}

void BM_FilterIndexBuild(benchmark::State& state) {
    auto file = storeOf(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<RideStore> store = RideStore::open(file);
        auto index = HistoryFilterIndex::build(*store, HistoryFilterText::MonthNames::english());
        benchmark::DoNotOptimize(index);
    }
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_FilterIndexBuild)
    ->Arg(20'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// Typing "Jan" and then a place, one key at a time: each search is one key press answered.
void BM_FilterKeyPress(benchmark::State& state) {
    std::unique_ptr<RideStore> store = RideStore::open(storeOf(state.range(0)));
    auto index = HistoryFilterIndex::build(*store, HistoryFilterText::MonthNames::english());
    static constexpr std::array<const char*, 8> kKeys{"J",     "Ja",     "Jan",     "Jan ",
                                                      "Jan B", "Jan Be", "Jan Ber", "Jan Bern"};
    std::size_t key = 0;
    std::int64_t matches = 0;
    for (auto _ : state) {
        auto result = index->search(kKeys[key++ % kKeys.size()]);
        matches += static_cast<std::int64_t>(result->objectIDs.size());
        benchmark::DoNotOptimize(result);
    }
    state.counters["matches/key"] =
        benchmark::Counter(static_cast<double>(matches), benchmark::Counter::kAvgIterations);
    state.SetLabel(std::to_string(state.range(0)) + " activities");
}
BENCHMARK(BM_FilterKeyPress)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
