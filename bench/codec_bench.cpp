// Packing the stored series: zlib's default level (what the store used to write) against every
// libdeflate level, over the series JSON of every activity in the corpus. The counter
// `size_vs_zlib6` is the packed size relative to zlib's; bytes_per_second is the JSON packed.
//
//   BM_PackZlib6           zlib raw DEFLATE at Z_DEFAULT_COMPRESSION, a stream per series
//   BM_PackLibdeflate/L    libdeflate one-shot raw DEFLATE at level L
//   BM_PackIsal/L          ISA-L one-shot (stateless) raw DEFLATE at level L
//   BM_PackSeries          compressSeriesData as the store calls it
//   BM_Inflate*            unpacking: zlib streaming and decompressSeriesData over what zlib
//                          packed, libdeflate over what each of its levels packed
//   BM_Gunzip*             the corpus .gz files: the importer's zlib gunzip against libdeflate
#include <benchmark/benchmark.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "import/ActivityImporter.h"
#include "import/Gunzip.h"
#include "model/SeriesCodec.h"

namespace {

namespace fs = std::filesystem;
using vantrel::Bytes;

Bytes readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void addSeries(std::vector<Bytes>& series, const std::optional<Bytes>& field) {
    if (!field || field->empty()) return;
    if ((*field)[0] != 0) {
        series.push_back(*field);
    } else if (auto json = vantrel::decompressSeriesData(*field)) {
        series.push_back(std::move(*json));
    }
}

/// The plain JSON of every route and heart-rate series the corpus activities give.
const std::vector<Bytes>& corpusSeries() {
    static const std::vector<Bytes> series = [] {
        std::vector<Bytes> all;
        for (const auto& entry : fs::directory_iterator(VANTREL_CORPUS_DIR)) {
            try {
                vantrel::PersistedRide ride = vantrel::importActivityFile(
                    readFile(entry.path()), entry.path().filename().string(), std::nullopt);
                addSeries(all, ride.routeData);
                addSeries(all, ride.heartRateData);
            } catch (const std::exception&) {
                // Not an activity the importer takes: nothing to pack.
            }
        }
        return all;
    }();
    return series;
}

std::size_t totalSize(const std::vector<Bytes>& all) {
    std::size_t total = 0;
    for (const Bytes& bytes : all) total += bytes.size();
    return total;
}

Bytes zlibDeflate(const Bytes& input) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, static_cast<uLong>(input.size())));
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    ::deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::size_t zlibPackedSize() {
    static const std::size_t size = [] {
        std::size_t total = 0;
        for (const Bytes& json : corpusSeries()) total += zlibDeflate(json).size();
        return total;
    }();
    return size;
}

void reportSizes(benchmark::State& state, std::size_t packed) {
    std::size_t plain = totalSize(corpusSeries());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain));
    state.counters["series"] = static_cast<double>(corpusSeries().size());
    state.counters["plain_MB"] = plain / 1e6;
    state.counters["plain_per_packed"] = static_cast<double>(plain) / static_cast<double>(packed);
    state.counters["size_vs_zlib6"] =
        static_cast<double>(packed) / static_cast<double>(zlibPackedSize());
}

void BM_PackZlib6(benchmark::State& state) {
    std::size_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        for (const Bytes& json : corpusSeries()) packed += zlibDeflate(json).size();
    }
    reportSizes(state, packed);
}
BENCHMARK(BM_PackZlib6)->Unit(benchmark::kMillisecond);

void BM_PackLibdeflate(benchmark::State& state) {
    libdeflate_compressor* compressor =
        libdeflate_alloc_compressor(static_cast<int>(state.range(0)));
    Bytes out;
    std::size_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        for (const Bytes& json : corpusSeries()) {
            out.resize(libdeflate_deflate_compress_bound(compressor, json.size()));
            packed += libdeflate_deflate_compress(compressor, json.data(), json.size(), out.data(),
                                                  out.size());
        }
    }
    libdeflate_free_compressor(compressor);
    reportSizes(state, packed);
}
BENCHMARK(BM_PackLibdeflate)->DenseRange(1, 12)->Unit(benchmark::kMillisecond);

std::size_t isalLevelBufferSize(int level) {
    switch (level) {
        case 0:
            return ISAL_DEF_LVL0_DEFAULT;
        case 1:
            return ISAL_DEF_LVL1_DEFAULT;
        case 2:
            return ISAL_DEF_LVL2_DEFAULT;
        default:
            return ISAL_DEF_LVL3_DEFAULT;
    }
}

void BM_PackIsal(benchmark::State& state) {
    int level = static_cast<int>(state.range(0));
    std::vector<std::uint8_t> levelBuffer(isalLevelBufferSize(level));
    Bytes out;
    std::size_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        for (const Bytes& json : corpusSeries()) {
            out.resize(json.size() + json.size() / 16 + 1024);
            isal_zstream stream;
            isal_deflate_stateless_init(&stream);
            stream.level = static_cast<std::uint32_t>(level);
            stream.level_buf = levelBuffer.data();
            stream.level_buf_size = static_cast<std::uint32_t>(levelBuffer.size());
            stream.gzip_flag = IGZIP_DEFLATE;
            stream.end_of_stream = 1;
            stream.flush = NO_FLUSH;
            stream.next_in = const_cast<std::uint8_t*>(json.data());
            stream.avail_in = static_cast<std::uint32_t>(json.size());
            stream.next_out = out.data();
            stream.avail_out = static_cast<std::uint32_t>(out.size());
            if (isal_deflate_stateless(&stream) != COMP_OK) state.SkipWithError("isal failed");
            packed += stream.total_out;
        }
    }
    reportSizes(state, packed);
}
BENCHMARK(BM_PackIsal)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_PackSeries(benchmark::State& state) {
    std::size_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        for (const Bytes& json : corpusSeries())
            packed += vantrel::compressSeriesData(json).size() - 1;
    }
    reportSizes(state, packed);
}
BENCHMARK(BM_PackSeries)->Unit(benchmark::kMillisecond);

/// The corpus series packed the way the store used to pack them.
const std::vector<Bytes>& zlibPackedSeries() {
    static const std::vector<Bytes> packed = [] {
        std::vector<Bytes> all;
        for (const Bytes& json : corpusSeries()) {
            Bytes stored{0};
            Bytes stream = zlibDeflate(json);
            stored.insert(stored.end(), stream.begin(), stream.end());
            all.push_back(std::move(stored));
        }
        return all;
    }();
    return packed;
}

void BM_InflateZlibStreaming(benchmark::State& state) {
    for (auto _ : state) {
        for (const Bytes& stored : zlibPackedSeries()) {
            z_stream stream{};
            inflateInit2(&stream, -15);
            Bytes out(stored.size() * 4);
            stream.next_in = const_cast<Bytef*>(stored.data() + 1);
            stream.avail_in = static_cast<uInt>(stored.size() - 1);
            int status = Z_OK;
            while (status == Z_OK) {
                if (stream.total_out == out.size()) out.resize(out.size() * 2);
                stream.next_out = out.data() + stream.total_out;
                stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
                status = ::inflate(&stream, Z_NO_FLUSH);
            }
            inflateEnd(&stream);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * totalSize(corpusSeries())));
}
BENCHMARK(BM_InflateZlibStreaming)->Unit(benchmark::kMillisecond);

void BM_InflateSeries(benchmark::State& state) {
    std::size_t inflated = 0;
    for (auto _ : state) {
        inflated = 0;
        for (const Bytes& stored : zlibPackedSeries())
            inflated += vantrel::decompressSeriesData(stored).value_or(Bytes{}).size();
    }
    if (inflated != totalSize(corpusSeries())) state.SkipWithError("inflated a wrong size");
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * totalSize(corpusSeries())));
}
BENCHMARK(BM_InflateSeries)->Unit(benchmark::kMillisecond);

}  // namespace

/// Inflating is not free of the level either: a faster level leaves more literals to decode.
void BM_InflateLibdeflate(benchmark::State& state) {
    libdeflate_compressor* compressor =
        libdeflate_alloc_compressor(static_cast<int>(state.range(0)));
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    std::vector<Bytes> packed;
    for (const Bytes& json : corpusSeries()) {
        Bytes out(libdeflate_deflate_compress_bound(compressor, json.size()));
        out.resize(libdeflate_deflate_compress(compressor, json.data(), json.size(), out.data(),
                                               out.size()));
        packed.push_back(std::move(out));
    }
    Bytes inflated;
    for (auto _ : state) {
        for (std::size_t i = 0; i < packed.size(); ++i) {
            inflated.resize(corpusSeries()[i].size());
            libdeflate_deflate_decompress(decompressor, packed[i].data(), packed[i].size(),
                                          inflated.data(), inflated.size(), nullptr);
            benchmark::DoNotOptimize(inflated.data());
        }
    }
    libdeflate_free_decompressor(decompressor);
    libdeflate_free_compressor(compressor);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * totalSize(corpusSeries())));
}
BENCHMARK(BM_InflateLibdeflate)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

const std::vector<Bytes>& corpusGzipFiles() {
    static const std::vector<Bytes> files = [] {
        std::vector<Bytes> all;
        for (const auto& entry : fs::directory_iterator(VANTREL_CORPUS_DIR)) {
            if (entry.path().extension() == ".gz") all.push_back(readFile(entry.path()));
        }
        return all;
    }();
    return files;
}

void BM_GunzipZlib(benchmark::State& state) {
    std::size_t produced = 0;
    for (auto _ : state) {
        produced = 0;
        for (const Bytes& file : corpusGzipFiles()) produced += vantrel::gunzip(file).size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * produced));
}
BENCHMARK(BM_GunzipZlib)->Unit(benchmark::kMillisecond);

void BM_GunzipLibdeflate(benchmark::State& state) {
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    std::size_t produced = 0;
    for (auto _ : state) {
        produced = 0;
        for (const Bytes& file : corpusGzipFiles()) {
            std::size_t size = file[file.size() - 4] | file[file.size() - 3] << 8 |
                               file[file.size() - 2] << 16 |
                               static_cast<std::size_t>(file[file.size() - 1]) << 24;
            Bytes out(size);
            std::size_t written = 0;
            libdeflate_gzip_decompress(decompressor, file.data(), file.size(), out.data(),
                                       out.size(), &written);
            produced += written;
        }
    }
    libdeflate_free_decompressor(decompressor);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * produced));
}
BENCHMARK(BM_GunzipLibdeflate)->Unit(benchmark::kMillisecond);
