// Series codec and store queries against the cheapest way of doing the same raw work.
#include <benchmark/benchmark.h>
#include <simdjson.h>
#include <sqlite3.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <string>

#include "model/JsonWriter.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"

namespace vantrel {
namespace {

constexpr int kTenHoursAtOneHertz = 36000;

const std::vector<RoutePoint>& tenHourRoute() {
    static const auto points = [] {
        std::vector<RoutePoint> route;
        for (int i = 0; i < kTenHoursAtOneHertz; ++i)
            route.push_back({Uuid::random(),
                             {46.9 + i * 1.3e-5, 7.4 + i * 0.7e-5},
                             540.0 + (i % 600) * 0.35,
                             736237815.25 + i});
        return route;
    }();
    return points;
}

const Bytes& packedRoute() {
    static const Bytes packed = *packSeries(tenHourRoute());
    return packed;
}

std::string inflate(const Bytes& packed) {
    std::string out(packed.size() * 8, '\0');
    z_stream stream{};
    inflateInit2(&stream, -15);
    stream.next_in = const_cast<Bytef*>(packed.data() + 1);
    stream.avail_in = static_cast<uInt>(packed.size() - 1);
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.total_out == out.size()) out.resize(out.size() * 2);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + stream.total_out);
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = ::inflate(&stream, Z_NO_FLUSH);
    }
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

Bytes deflate(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(1 + deflateBound(&stream, static_cast<uLong>(text.size())), 0);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = out.data() + 1;
    stream.avail_out = static_cast<uInt>(out.size() - 1);
    ::deflate(&stream, Z_FINISH);
    out.resize(1 + stream.total_out);
    deflateEnd(&stream);
    return out;
}

void BM_DecodePackedRoute(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(decodeRoutePoints(packedRoute()));
}
BENCHMARK(BM_DecodePackedRoute)->Unit(benchmark::kMillisecond);

// The inflation alone, as the decoder does it.
void BM_InflatePackedRoute(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(decompressSeriesData(packedRoute()));
    state.counters["packed_MB"] = static_cast<double>(packedRoute().size()) / 1e6;
}
BENCHMARK(BM_InflatePackedRoute)->Unit(benchmark::kMillisecond);

// Baseline: the same inflation and a walk over every value, building nothing.
void BM_InflateAndWalkJSON(benchmark::State& state) {
    simdjson::ondemand::parser parser;
    for (auto _ : state) {
        simdjson::padded_string json(inflate(packedRoute()));
        double sum = 0;
        std::size_t idLength = 0;
        simdjson::ondemand::document document = parser.iterate(json);
        for (auto element : document.get_array()) {
            for (auto field : element.get_object()) {
                auto value = field.value();
                if (value.type() == simdjson::ondemand::json_type::object) {
                    for (auto inner : value.get_object()) sum += double(inner.value());
                } else if (value.type() == simdjson::ondemand::json_type::string) {
                    idLength += std::string_view(value).size();
                } else {
                    sum += double(value);
                }
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(idLength);
    }
}
BENCHMARK(BM_InflateAndWalkJSON)->Unit(benchmark::kMillisecond);

void BM_EncodeRoute(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(packSeries(tenHourRoute()));
}
BENCHMARK(BM_EncodeRoute)->Unit(benchmark::kMillisecond);

// Baseline: the generic JSON writer over the same values, then one deflate call.
void BM_WriteJSONAndDeflate(benchmark::State& state) {
    for (auto _ : state) {
        JsonWriter json;
        json.beginArray();
        for (const auto& point : tenHourRoute()) {
            json.beginObject();
            json.key("id");
            json.value(point.id.toString());
            json.key("coordinate");
            json.beginObject();
            json.key("latitude");
            json.value(point.coordinate.latitude);
            json.key("longitude");
            json.value(point.coordinate.longitude);
            json.endObject();
            json.key("altitude");
            json.value(point.altitude);
            json.key("timestamp");
            json.value(point.timestamp);
            json.endObject();
        }
        json.endArray();
        benchmark::DoNotOptimize(deflate(json.text()));
    }
}
BENCHMARK(BM_WriteJSONAndDeflate)->Unit(benchmark::kMillisecond);

constexpr int kStoredActivities = 20000;
constexpr int kYears = 15;

const std::filesystem::path& benchStore() {
    static const auto file = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("vantrel-model-bench-" + std::to_string(::getpid()) + ".sqlite");
        auto store = RideStore::open(path);
        Date start = startOfLocalYear(2011);
        double spacing = (startOfLocalYear(2011 + kYears) - start) / kStoredActivities;
        for (int i = 0; i < kStoredActivities; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = start + i * spacing;
            ride->routeData = Bytes(2000, 0);
            if (i % 100 == 0) ride->deletedAt = ride->date;
            store->insert(ride);
        }
        store->save();
        return path;
    }();
    return file;
}

void BM_YearSummaries(benchmark::State& state) {
    auto store = RideStore::open(benchStore());
    for (auto _ : state) benchmark::DoNotOptimize(store->yearSummaries());
}
BENCHMARK(BM_YearSummaries)->Unit(benchmark::kMicrosecond);

// Baseline: one count over every live activity.
void BM_CountLiveActivities(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open(benchStore().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM PersistedRide WHERE deletedAt IS NULL", -1,
                       &statement, nullptr);
    for (auto _ : state) {
        sqlite3_step(statement);
        benchmark::DoNotOptimize(sqlite3_column_int64(statement, 0));
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
}
BENCHMARK(BM_CountLiveActivities)->Unit(benchmark::kMicrosecond);

// One save of 1000 new activities: arg 0 in one plain transaction, arg 1 with a savepoint per
// record (the save of the imports, which drops a refused record instead of failing them all).
void BM_SaveNewActivities(benchmark::State& state) {
    auto path = std::filesystem::temp_directory_path() /
                ("vantrel-save-bench-" + std::to_string(::getpid()) + ".sqlite");
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path.string() + suffix);
        auto store = RideStore::open(path);
        for (int i = 0; i < 1000; ++i) {
            auto ride = std::make_shared<PersistedRide>();
            ride->date = i * 3600.0;
            ride->routeData = Bytes(2000, 1);
            store->insert(ride);
        }
        state.ResumeTiming();
        if (state.range(0) == 0) {
            store->save();
        } else {
            benchmark::DoNotOptimize(store->saveDroppingUnwritable());
        }
    }
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
}
BENCHMARK(BM_SaveNewActivities)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vantrel
