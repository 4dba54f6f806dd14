// The sidebar filter over a long history: a key press must be answered (the matching years'
// counts and the matching activities known) in at most 50 ms at 100,000 activities. The
// index it searches is built once per store change, off the main thread; its cost is shown too.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "BenchFolder.h"
#include "HistoryStoreGenerator.h"
#include "model/HistoryFilterIndex.h"

namespace {

using namespace vantrel;

/// One generated store per size, made on first use and kept for the whole run.
const std::filesystem::path& storeOf(std::int64_t count) {
    static bench::BenchFolder folder("filter");
    static std::map<std::int64_t, std::filesystem::path> files;
    auto found = files.find(count);
    if (found != files.end()) return found->second;
    std::filesystem::path file = folder.path / ("history-" + std::to_string(count) + ".sqlite");
    bench::generateHistoryStore(file, count);
    return files.emplace(count, file).first->second;
}

void BM_FilterIndexBuild(benchmark::State& state) {
    const auto& file = storeOf(state.range(0));
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
