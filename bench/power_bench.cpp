// The power analysis of a ride at 1 Hz against the cost of decoding its stored power series:
// the analysis must stay within twice the decode, and grow linearly with the ride (compare the
// one-hour and ten-hour figures).
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <vector>

#include "analysis/PowerAnalysis.h"
#include "model/PersistedRide.h"

namespace {

using namespace vantrel;

constexpr Date kStart = 700'000'000;

/// A steady ride with surges, a ten-minute stop every two hours.
std::vector<PowerSample> powerOfLength(int seconds) {
    std::vector<PowerSample> power;
    power.reserve(static_cast<std::size_t>(seconds));
    for (int i = 0; i < seconds; ++i) {
        int stops = i / 7200;
        Date time = kStart + i + 600.0 * stops;
        power.push_back({Uuid::random(), time, 200 + 80 * std::cos(i / 45.0)});
    }
    return power;
}

/// The ride of that length as the store holds it: its power series packed.
const PersistedRide& storedRide(int seconds) {
    static std::map<int, PersistedRide> rides;
    auto [found, added] = rides.try_emplace(seconds);
    if (added) found->second.setPowerSamples(powerOfLength(seconds));
    return found->second;
}

void decodePowerSeries(benchmark::State& state) {
    const auto& ride = storedRide(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto power = ride.powerSamples();
        benchmark::DoNotOptimize(power.data());
    }
}
BENCHMARK(decodePowerSeries)->Arg(3'600)->Arg(36'000)->Unit(benchmark::kMillisecond);

void analyzePowerSeries(benchmark::State& state) {
    auto power = storedRide(static_cast<int>(state.range(0))).powerSamples();
    for (auto _ : state) {
        auto analysis = analyzePower(power);
        benchmark::DoNotOptimize(analysis.curve.data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(analyzePowerSeries)
    ->Arg(3'600)
    ->Arg(36'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
