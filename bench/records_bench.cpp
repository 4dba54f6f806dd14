// Personal records of a 10-hour run at 1 Hz, against the cost of decoding its route: the
// records (decode included) should cost at most twice the decode alone.
#include <benchmark/benchmark.h>

#include <cmath>

#include "analysis/PersonalRecords.h"
#include "model/SeriesCodec.h"

namespace {

using namespace vantrel;

constexpr int kTenHours = 36'000;
constexpr Date kStart = 700'000'000;

/// A winding run at about 3 m/s with a five-minute stop every two hours.
std::optional<Bytes> tenHourRoute() {
    std::vector<RoutePoint> route;
    route.reserve(kTenHours);
    double latitude = 47.0;
    double longitude = 8.0;
    for (int i = 0; i < kTenHours; ++i) {
        double heading = std::sin(i / 600.0) * 1.5;
        double step = 1.0 + 0.2 * std::sin(i / 97.0);
        latitude += 2.2e-5 * step * std::cos(heading);
        longitude += 3.3e-5 * step * std::sin(heading);
        Date time = kStart + i + 300.0 * (i / 7200);
        route.push_back(
            {Uuid::random(), {latitude, longitude}, 400 + 50 * std::sin(i / 900.0), time});
    }
    return packSeries(route);
}

const std::optional<Bytes>& sharedRoute() {
    static const auto bytes = tenHourRoute();
    return bytes;
}

void BM_DecodeRoute(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(decodeRoutePoints(sharedRoute()));
}
BENCHMARK(BM_DecodeRoute)->Unit(benchmark::kMillisecond);

void BM_RecordsOfRoute(benchmark::State& state) {
    for (auto _ : state) {
        auto route = decodeRoutePoints(sharedRoute());
        benchmark::DoNotOptimize(PersonalRecords::routeBests(*route));
    }
}
BENCHMARK(BM_RecordsOfRoute)->Unit(benchmark::kMillisecond);

}  // namespace
