// "Geocode Missing" over a history of 2,000 activities that ride four corpus routes again and
// again (a 2-hour ride, a 1.5-hour ride, a run and a short run: 3,500 points on average), with
// the real pauses, the shipped place table and a cache file:
//   withoutNetwork      every server refuses the connection (the network is gone)
//   againstLocalServer  a local server answers in the Nominatim and Overpass formats; a fresh
//                       cache
//   secondRun           the same history unnamed again, the cache file of the previous run kept
// Each runs once; the counters give the requests that reached a server and the names stored.
//   build/bench/geocode_bench --benchmark_filter=withoutNetwork   (and so on)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"
#include "services/FallbackGeocoder.h"
#include "services/GeocodeCache.h"
#include "services/GeocodingService.h"
#include "services/GeocodingTestWorld.h"
#include "services/OfflineGeocoder.h"

namespace {

using namespace vantrel;

constexpr int kActivities = 2000;
const std::array<const char*, 4> kRoutes = {"sportslib__strava.gpx", "gpsbabel__edge705-power.tcx",
                                            "sportslib__amazfit.gpx", "tcxparser__fr410-run.tcx"};

Bytes fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A store of the history, none of it named yet; made once and copied for each run.
class History {
  public:
    History() {
        std::string pattern = (std::filesystem::temp_directory_path() / "geocode-bench-XXXXXX");
        m_dir = mkdtemp(pattern.data());
        std::vector<PersistedRide> routes;
        for (const char* name : kRoutes) {
            auto path = std::filesystem::path(VANTREL_CORPUS_DIR) / name;
            routes.push_back(importActivityFile(fileBytes(path), name, std::nullopt));
        }
        auto store = RideStore::open(pristine());
        for (int i = 0; i < kActivities; ++i) {
            auto ride = std::make_shared<PersistedRide>(routes[i % routes.size()]);
            ride->rideID = Uuid::random();
            ride->date = 600'000'000 + i * 86'400.0;
            store->insert(ride);
        }
        store->save();
    }

    /// A fresh copy of the unnamed history.
    std::filesystem::path copy() {
        auto path = m_dir / "store.sqlite";
        std::filesystem::copy_file(pristine(), path,
                                   std::filesystem::copy_options::overwrite_existing);
        return path;
    }
    std::filesystem::path cacheFile() const { return m_dir / "geocode.sqlite"; }

    ~History() { std::filesystem::remove_all(m_dir); }

  private:
    std::filesystem::path pristine() const { return m_dir / "pristine.sqlite"; }
    std::filesystem::path m_dir;
};

History& history() {
    static History made;
    return made;
}

std::int64_t unnamed(RideStore& store) {
    RideQuery query;
    query.liveOnly = true;
    query.cityMissingOnly = true;
    return store.count(query);
}

/// "Geocode Missing" over a fresh copy of the history, with the real pauses and the cache file.
struct Run {
    std::unique_ptr<Geocoder> geocoder;
    std::unique_ptr<RideStore> store;
    CancellationToken token;

    explicit Run(OnlineGeocoder::Settings settings) {
        settings.cache = std::make_shared<GeocodeCache>(history().cacheFile());
        geocoder = std::make_unique<FallbackGeocoder>(std::make_unique<OnlineGeocoder>(settings),
                                                      std::make_unique<OfflineGeocoder>());
        store = RideStore::open(history().copy());
    }
    int operator()() {
        return GeocodingService::startGeocoding(*store, false,
                                                {*geocoder, PersistentLogger::shared(), {}}, token);
    }
};

/// Times one run; the counters give the requests that reached a server and what was named.
void measure(benchmark::State& state, const OnlineGeocoder::Settings& settings) {
    Run run(settings);
    int processed = 0;
    for (auto _ : state) processed = run();
    state.counters["activities"] = processed;
    state.counters["requests"] = static_cast<double>(run.geocoder->requestsSent());
    state.counters["unnamed"] = static_cast<double>(unnamed(*run.store));
}

OnlineGeocoder::Settings refusedEverywhere() {
    OnlineGeocoder::Settings settings;
    settings.nominatimURL = "http://127.0.0.1:1";
    settings.overpassURL = "http://127.0.0.1:1/api/interpreter";
    return settings;
}

void withoutNetwork(benchmark::State& state) {
    std::filesystem::remove(history().cacheFile());
    measure(state, refusedEverywhere());
}

/// The local server as one's own server is set up: not paced (only the public servers are),
/// a failing server rested as always.
OnlineGeocoder::Settings localServerSettings() {
    static test::GeocodingTestWorld world;
    auto settings = world.settings();
    settings.restAfterServerError = OnlineGeocoder::Settings().restAfterServerError;
    return settings;
}

void againstLocalServer(benchmark::State& state) {
    std::filesystem::remove(history().cacheFile());
    measure(state, localServerSettings());
}

void secondRun(benchmark::State& state) {
    if (!std::filesystem::exists(history().cacheFile())) {
        Run warmUp{localServerSettings()};
        warmUp();
    }
    measure(state, localServerSettings());
}

}  // namespace

BENCHMARK(withoutNetwork)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(againstLocalServer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(secondRun)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
