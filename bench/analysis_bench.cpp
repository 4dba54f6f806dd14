// The detail view's analysis of a 10-hour activity at 1 Hz with heart rate and power, against
// the cost of decoding its three series.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

#include "analysis/RideAnalysis.h"
#include "analysis/RideDetail.h"
#include "analysis/RideRetraceData.h"
#include "model/PersistedRide.h"
#include "model/Preferences.h"

namespace {

using namespace vantrel;

constexpr int kTenHours = 36'000;
constexpr Date kStart = 700'000'000;

std::vector<RoutePoint> windingRoute(int count) {
    std::vector<RoutePoint> route;
    route.reserve(count);
    double latitude = 47.0;
    double longitude = 8.0;
    for (int i = 0; i < count; ++i) {
        double heading = std::sin(i / 600.0) * 1.5;
        latitude += 6.0e-5 * std::cos(heading);
        longitude += 9.0e-5 * std::sin(heading);
        // A ten-minute stop every two hours, as at a café.
        int stopsSoFar = i / 7200;
        Date time = kStart + i + 600.0 * stopsSoFar;
        route.push_back(
            {Uuid::random(), {latitude, longitude}, 400 + 50 * std::sin(i / 900.0), time});
    }
    return route;
}

PersistedRide tenHourRide() {
    PersistedRide ride;
    ride.date = kStart;
    auto route = windingRoute(kTenHours);
    std::vector<HeartRateSample> heartRate;
    std::vector<PowerSample> power;
    for (const auto& point : route) {
        heartRate.push_back(
            {Uuid::random(), point.timestamp, 130 + 20 * std::sin(point.timestamp / 300.0)});
        power.push_back(
            {Uuid::random(), point.timestamp, 200 + 80 * std::cos(point.timestamp / 45.0)});
    }
    ride.setRoutePoints(route);
    ride.setHeartRateSamples(heartRate);
    ride.setPowerSamples(power);
    ride.duration = route.back().timestamp - kStart;
    ride.distance = 250'000;
    ride.activeTime = kTenHours;
    ride.averageHeartRate = 130;
    return ride;
}

const PersistedRide& sharedRide() {
    static const PersistedRide ride = [] {
        Preferences::setSharedPath(std::filesystem::temp_directory_path() /
                                   "vantrel-analysis-bench-preferences.json");
        return tenHourRide();
    }();
    return ride;
}

void BM_DecodeThreeSeries(benchmark::State& state) {
    const auto& ride = sharedRide();
    for (auto _ : state) {
        auto route = ride.routePoints();
        auto heartRate = ride.heartRateSamples();
        auto power = ride.powerSamples();
        benchmark::DoNotOptimize(route.data());
        benchmark::DoNotOptimize(heartRate.data());
        benchmark::DoNotOptimize(power.data());
    }
}
BENCHMARK(BM_DecodeThreeSeries)->Unit(benchmark::kMillisecond);

void BM_WholeDetail(benchmark::State& state) {
    const auto& ride = sharedRide();
    for (auto _ : state) {
        auto detail = loadRideDetail(ride, UnitSystem::metric, std::nullopt, Preferences::shared());
        benchmark::DoNotOptimize(detail.splits.data());
    }
}
BENCHMARK(BM_WholeDetail)->Unit(benchmark::kMillisecond);

void BM_ThousandWaypointLookups(benchmark::State& state) {
    auto route = windingRoute(kTenHours);
    std::vector<HeartRateSample> heartRate;
    heartRate.reserve(route.size());
    for (const auto& point : route) heartRate.push_back({Uuid::random(), point.timestamp, 140});
    auto retrace = RideRetraceData::build(route, heartRate, kStart);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            auto waypoint = retrace.waypointAt(i / 999.0, retrace.totalMinutes);
            benchmark::DoNotOptimize(waypoint);
        }
    }
}
BENCHMARK(BM_ThousandWaypointLookups)->Unit(benchmark::kMillisecond);

void BM_MaxSpeed(benchmark::State& state) {
    auto route = windingRoute(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(RideAnalysis::maxSpeed(route));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_MaxSpeed)->Arg(3'600)->Arg(36'000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
