// Export and archive import over a store of 2,000 one-hour activities at 1 Hz with heart rate,
// each measured against the work it cannot avoid (reading the rows, parsing the file, decoding
// the series).
#include <benchmark/benchmark.h>
#include <simdjson.h>
#include <stdlib.h>

#include <filesystem>

#include "archive/ArchiveExport.h"
#include "archive/ArchiveImport.h"
#include "archive/RideArchiveImporter.h"
#include "export/GpxFolderExport.h"
#include "model/Base64.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"

namespace vantrel {
namespace {

constexpr int kActivities = 2000;
constexpr int kSeconds = 3600;

/// The store, built once per run in a temporary folder that also receives every output.
struct BenchWorld {
    std::filesystem::path root;
    std::filesystem::path storeFile;
    std::filesystem::path archiveFile;

    BenchWorld() {
        char pattern[] = "/tmp/vantrel-export-bench-XXXXXX";
        root = mkdtemp(pattern);
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        storeFile = root / "store.sqlite";
        fillStore();
        auto store = RideStore::open(storeFile);
        archiveFile = root / "all.json";
        exportArchiveToFile(*store, store->allLiveActivities(false), archiveFile,
                            PersistentLogger::shared());
    }
    ~BenchWorld() { std::filesystem::remove_all(root); }

    void fillStore() {
        auto store = RideStore::open(storeFile);
        const Date start = dateFromUnix(1704103200);  // 2024-01-01
        for (int i = 0; i < kActivities; ++i) {
            Date date = start + i * 86400.0 / 3;
            std::vector<RoutePoint> points;
            std::vector<HeartRateSample> samples;
            for (int s = 0; s < kSeconds; ++s) {
                points.push_back({Uuid::random(),
                                  {47.1 + s * 1.3e-5, 8.5 - s * 0.7e-5},
                                  400 + s * 0.01,
                                  date + s});
                samples.push_back({Uuid::random(), date + s + 0.5, 120.0 + s % 50});
            }
            auto ride = std::make_shared<PersistedRide>();
            ride->date = date;
            ride->duration = kSeconds;
            ride->activityType = "cycling";
            ride->setRoutePoints(points);
            ride->setHeartRateSamples(samples);
            store->insert(ride);
            if (i % 100 == 99) store->save();
        }
        store->save();
    }
};

BenchWorld& world() {
    static BenchWorld instance;
    return instance;
}

void freshFolder(const std::filesystem::path& folder) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

void BM_ReadRowsAndBase64(benchmark::State& state) {
    world();  // built outside the timed loop
    for (auto _ : state) {
        auto store = RideStore::open(world().storeFile);
        std::size_t total = 0;
        for (RideRef& ride : store->allLiveActivities(false)) {
            store->loadDetails(ride);
            for (const auto* field : {&ride->routeData, &ride->heartRateData,
                                      &ride->startWeatherData, &ride->endWeatherData}) {
                if (*field) total += base64Encode(**field).size();
            }
            ride.reset();
        }
        benchmark::DoNotOptimize(total);
    }
}

void BM_ArchiveExportAll(benchmark::State& state) {
    world();  // built outside the timed loop
    auto folder = world().root / "years";
    for (auto _ : state) {
        state.PauseTiming();
        freshFolder(folder);
        state.ResumeTiming();
        auto store = RideStore::open(world().storeFile);
        benchmark::DoNotOptimize(
            exportArchiveYearFiles(*store, folder, PersistentLogger::shared()).exported);
    }
}

/// Walks every value of the archive with no objects built: the least any reader must do.
void BM_ParseArchiveOnly(benchmark::State& state) {
    world();  // built outside the timed loop
    Bytes bytes = RideArchiveImporter::readArchiveFile(world().archiveFile);
    simdjson::padded_string json(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    simdjson::ondemand::parser parser;
    for (auto _ : state) {
        auto document = parser.iterate(json);
        std::size_t total = 0;
        for (auto ride : document["rides"].get_array()) {
            for (auto field : ride.get_object()) {
                auto value = field.value();
                if (value.type() == simdjson::ondemand::json_type::string) {
                    total += std::string_view(value.get_string()).size();
                } else {
                    total += static_cast<std::size_t>(double(value.get_double()));
                }
            }
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_DecodeArchive(benchmark::State& state) {
    world();  // built outside the timed loop
    Bytes bytes = RideArchiveImporter::readArchiveFile(world().archiveFile);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RideArchiveImporter::decodeArchive(bytes).rides.size());
    }
}

void BM_ArchiveImportIntoEmptyStore(benchmark::State& state) {
    world();  // built outside the timed loop
    auto file = world().root / "import.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(file.string() + suffix);
        auto store = RideStore::open(file);
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            importArchiveFiles(*store, {world().archiveFile}, PersistentLogger::shared()).imported);
    }
}

void BM_DecodeSeries(benchmark::State& state) {
    world();  // built outside the timed loop
    for (auto _ : state) {
        auto store = RideStore::open(world().storeFile);
        std::size_t total = 0;
        for (RideRef& ride : store->allLiveActivities(false)) {
            store->loadDetails(ride);
            total += ride->routePoints().size() + ride->heartRateSamples().size();
            ride.reset();
        }
        benchmark::DoNotOptimize(total);
    }
}

void BM_GpxExportAll(benchmark::State& state) {
    world();  // built outside the timed loop
    auto folder = world().root / "gpx";
    for (auto _ : state) {
        state.PauseTiming();
        freshFolder(folder);
        state.ResumeTiming();
        auto store = RideStore::open(world().storeFile);
        benchmark::DoNotOptimize(exportGpxToFolder(*store, store->allLiveActivities(false), folder,
                                                   PersistentLogger::shared())
                                     .written);
    }
}

BENCHMARK(BM_ReadRowsAndBase64)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ArchiveExportAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ParseArchiveOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DecodeArchive)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ArchiveImportIntoEmptyStore)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DecodeSeries)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GpxExportAll)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vantrel
