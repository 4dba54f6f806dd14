// A weather run over 1,000 one-hour activities against a stand-in service on this computer that
// answers at once: the run should take at most 10 s, its own cost at most 10 ms an activity.
// The same 2,000 requests sent bare (no store, no route, no answer reading) are the floor the
// run is compared with, and decoding the 1,000 routes the bulk of its own work.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"
#include "services/FakeWeatherService.h"
#include "services/WeatherAtInstant.h"
#include "services/WeatherService.h"

namespace {

using namespace vantrel;
namespace fs = std::filesystem;

constexpr int kActivities = 1000;
constexpr int kPointsPerActivity = 3600;
constexpr Date kFirstStart = 700'000'000;

/// A private folder for the stores and the session log, removed at exit.
const fs::path& workFolder() {
    static const fs::path folder = [] {
        fs::path path =
            fs::temp_directory_path() / ("vantrel-weather-bench-" + std::to_string(getpid()));
        fs::create_directories(path);
        for (const char* variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
            setenv(variable, path.c_str(), 1);
        }
        std::atexit([] { fs::remove_all(workFolder()); });
        return path;
    }();
    return folder;
}

Bytes oneHourRoute() {
    std::vector<RoutePoint> route;
    for (int i = 0; i < kPointsPerActivity; ++i) {
        double heading = std::sin(i / 600.0);
        route.push_back({Uuid::random(),
                         {47.0 + 2e-5 * i * std::cos(heading), 8.0 + 3e-5 * i * std::sin(heading)},
                         400,
                         static_cast<Date>(i)});
    }
    return *packSeries(route);
}

/// A store of activities without weather, written once and copied for every run.
const fs::path& preparedStore() {
    static const fs::path file = [] {
        fs::path path = workFolder() / "prepared.sqlite";
        auto store = RideStore::open(path);
        Bytes route = oneHourRoute();
        for (int i = 0; i < kActivities; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = kFirstStart + i * 86400.0;
            ride->duration = kPointsPerActivity;
            ride->routeData = route;
            store->insert(ride);
        }
        store->save();
        return path;
    }();
    return file;
}

std::unique_ptr<RideStore> freshCopy() {
    fs::path copy = workFolder() / "run.sqlite";
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(copy.string() + suffix);
    fs::copy_file(preparedStore(), copy);
    return RideStore::open(copy);
}

void weatherRun(benchmark::State& state) {
    test::FakeWeatherService service;
    for (auto _ : state) {
        state.PauseTiming();
        auto store = freshCopy();
        WeatherClient client(service.settings());
        CancellationToken token;
        state.ResumeTiming();
        auto summary =
            WeatherService::fetchWeather(*store, WeatherService::Scope::missing, {},
                                         {client, {}, {}, PersistentLogger::shared()}, token);
        if (summary.withWeather != kActivities) state.SkipWithError("not every activity");
    }
    state.counters["activities"] = kActivities;
}
BENCHMARK(weatherRun)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);

// The part of the run's own cost that reading the routes takes.
void decodeRoutes(benchmark::State& state) {
    std::optional<Bytes> route = oneHourRoute();
    for (auto _ : state) {
        for (int i = 0; i < kActivities; ++i) benchmark::DoNotOptimize(decodeRoutePoints(route));
    }
}
BENCHMARK(decodeRoutes)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);

void bareRequests(benchmark::State& state) {
    test::FakeWeatherService service;
    HttpClient http(WeatherClient::Settings::defaultHttpOptions());
    WeatherRequest request{{{47.0, 8.0}}, "2023-03-08", "2023-03-08"};
    std::string weather =
        WeatherClient::requestURL(service.weatherURL(), request, kWeatherVariables);
    std::string air =
        WeatherClient::requestURL(service.airQualityURL(), request, kAirQualityVariables);
    for (auto _ : state) {
        for (int i = 0; i < kActivities; ++i) {
            benchmark::DoNotOptimize(http.fetch(weather));
            benchmark::DoNotOptimize(http.fetch(air));
        }
    }
}
BENCHMARK(bareRequests)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);

}  // namespace
