// Bulk import of FIT recordings: an archive of 300 real files (every corpus FIT file above
// 50 kB, repeated), each copy moved by whole days so that none is a duplicate of another.
//
//   BM_ReadMembers         readActivityFile over the members, already in memory: decoding only
//   BM_BuildMembers        importActivityFile over them: decoding, statistics and packing
//   BM_ZipImport/T         the whole run with T worker threads into a fresh store; the counter
//                          store_MB is the size of the store file afterwards
//
// `fit_import_bench --write-archive FOLDER` writes the archive (FOLDER/fit-300.zip) and the same
// members as loose files (FOLDER/members/) for the command-line comparison in
// bench/fit_import_vs_fitsdk.sh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "import/ActivityImporter.h"
#include "import/ZipImportService.h"
#include "import/ZipTestArchive.h"
#include "model/RideStore.h"

namespace {

namespace fs = std::filesystem;
using vantrel::Bytes;

constexpr int kMemberCount = 300;
constexpr std::uintmax_t kSmallestSource = 50'000;
constexpr std::uint32_t kSecondsPerDay = 86'400;  // a multiple of 32: compressed times still fit

struct Member {
    std::string name;
    Bytes bytes;
};

Bytes readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t readLittle(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i > 0; --i) value = (value << 8) | bytes[i - 1];
    return value;
}

std::uint16_t fitCrc(const std::uint8_t* data, std::size_t size) {
    static constexpr std::array<std::uint16_t, 16> table{
        0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
        0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        for (int shift : {0, 4}) {
            std::uint16_t tmp = table[crc & 0xF];
            crc = ((crc >> 4) & 0x0FFF) ^ tmp ^ table[(data[i] >> shift) & 0xF];
        }
    }
    return crc;
}

/// Where the timestamp (field 253) of one local message type's data messages sits.
struct TimestampLayout {
    std::size_t messageSize = 0;
    std::optional<std::size_t> offset;
    bool bigEndian = false;
};

void addToTimestamp(std::uint8_t* field, bool bigEndian, std::uint32_t seconds) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{field[bigEndian ? 3 - i : i]} << (8 * i);
    if (value == 0xFFFFFFFF) return;
    value += seconds;
    for (int i = 0; i < 4; ++i)
        field[bigEndian ? 3 - i : i] = static_cast<std::uint8_t>(value >> (8 * i));
}

/// The first FIT file of `bytes` with every message timestamp moved `seconds` later and its CRC
/// made good again, so that any decoder takes it (chained files keep only the first).
Bytes shiftedFIT(const Bytes& bytes, std::uint32_t seconds) {
    std::size_t header = bytes[0];
    std::size_t end =
        std::min<std::size_t>(header + readLittle(bytes.data() + 4, 4), bytes.size() - 2);
    Bytes out(bytes.begin(), bytes.begin() + static_cast<long>(end + 2));
    std::array<TimestampLayout, 16> layouts{};
    std::size_t offset = header;
    // A damaged file is shifted as far as its messages can be followed.
    while (offset + 5 < end) {
        std::uint8_t recordHeader = out[offset++];
        if (!(recordHeader & 0x80) && (recordHeader & 0x40)) {
            TimestampLayout& layout = layouts[recordHeader & 0x0F];
            layout = {0, std::nullopt, out[offset + 1] == 1};
            std::size_t fields = out[offset + 4];
            offset += 5;
            for (std::size_t i = 0; i < fields && offset + 3 <= end; ++i, offset += 3) {
                if (out[offset] == 253 && out[offset + 1] == 4) layout.offset = layout.messageSize;
                layout.messageSize += out[offset + 1];
            }
            if (recordHeader & 0x20) {
                std::size_t devFields = out[offset++];
                for (std::size_t i = 0; i < devFields && offset + 3 <= end; ++i, offset += 3)
                    layout.messageSize += out[offset + 1];
            }
        } else {
            bool compressed = recordHeader & 0x80;
            const TimestampLayout& layout =
                layouts[compressed ? (recordHeader >> 5) & 0x03 : recordHeader & 0x0F];
            if (layout.offset && offset + *layout.offset + 4 <= end)
                addToTimestamp(out.data() + offset + *layout.offset, layout.bigEndian, seconds);
            offset += layout.messageSize;
        }
    }
    std::uint16_t crc = fitCrc(out.data(), end);
    out[end] = static_cast<std::uint8_t>(crc & 0xFF);
    out[end + 1] = static_cast<std::uint8_t>(crc >> 8);
    return out;
}

const std::vector<Member>& members() {
    static const std::vector<Member> all = [] {
        std::vector<fs::path> sources;
        for (const auto& entry : fs::directory_iterator(VANTREL_CORPUS_DIR)) {
            if (entry.path().extension() == ".fit" && entry.file_size() > kSmallestSource)
                sources.push_back(entry.path());
        }
        std::sort(sources.begin(), sources.end());
        std::vector<Bytes> originals;
        originals.reserve(sources.size());
        for (const fs::path& source : sources) originals.push_back(readFile(source));
        std::vector<Member> result;
        for (int i = 0; i < kMemberCount; ++i) {
            std::size_t source = static_cast<std::size_t>(i) % originals.size();
            auto days = static_cast<std::uint32_t>(i / static_cast<int>(originals.size()));
            result.push_back({"export/activities/" + std::to_string(i) + ".fit",
                              shiftedFIT(originals[source], days * kSecondsPerDay)});
        }
        return result;
    }();
    return all;
}

fs::path workFolder() {
    static const fs::path folder = [] {
        fs::path path =
            fs::temp_directory_path() / ("vantrel-fit-bench-" + std::to_string(getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

void writeArchive(const fs::path& file) {
    vantrel::test::ZipTestArchive zip(file);
    for (const Member& member : members()) zip.add(member.name, member.bytes);
}

const fs::path& archive() {
    static const fs::path file = [] {
        fs::path path = workFolder() / "fit-300.zip";
        writeArchive(path);
        return path;
    }();
    return file;
}

std::size_t totalBytes() {
    std::size_t total = 0;
    for (const Member& member : members()) total += member.bytes.size();
    return total;
}

void BM_ReadMembers(benchmark::State& state) {
    int failed = 0;
    for (auto _ : state) {
        failed = 0;
        for (const Member& member : members()) {
            try {
                benchmark::DoNotOptimize(vantrel::readActivityFile(member.bytes, member.name));
            } catch (const std::exception&) {
                ++failed;
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * totalBytes()));
    state.counters["files"] = kMemberCount;
    state.counters["failed"] = failed;
}

void BM_BuildMembers(benchmark::State& state) {
    for (auto _ : state) {
        for (const Member& member : members()) {
            try {
                benchmark::DoNotOptimize(
                    vantrel::importActivityFile(member.bytes, member.name, "ZIP Import"));
            } catch (const std::exception&) {
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * totalBytes()));
}

void removeStore(const fs::path& storeFile) {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(storeFile.string() + suffix);
}

void BM_ZipImport(benchmark::State& state) {
    fs::path storeFile = workFolder() / "store.sqlite";
    int imported = 0;
    for (auto _ : state) {
        state.PauseTiming();
        removeStore(storeFile);
        const fs::path& file = archive();
        state.ResumeTiming();
        auto store = vantrel::RideStore::open(storeFile);
        vantrel::BulkImportOptions options(vantrel::PersistentLogger::shared());
        options.threads = static_cast<int>(state.range(0));
        imported = vantrel::importZipArchives(*store, {file}, "ZIP Import", options).imported;
    }
    state.counters["imported"] = imported;
    state.counters["store_MB"] = static_cast<double>(fs::file_size(storeFile)) / 1e6;
    state.counters["files_per_s"] =
        benchmark::Counter(kMemberCount, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ReadMembers)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BuildMembers)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ZipImport)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

}  // namespace

// A missing corpus folder or a full disk ends the run with its reason, not with std::terminate.
int runBenchmarks(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-archive") == 0) {
        fs::path folder = argv[2];
        fs::create_directories(folder / "members");
        writeArchive(folder / "fit-300.zip");
        for (const Member& member : members()) {
            std::ofstream out(folder / "members" / fs::path(member.name).filename(),
                              std::ios::binary);
            out.write(reinterpret_cast<const char*>(member.bytes.data()),
                      static_cast<std::streamsize>(member.bytes.size()));
        }
        return 0;
    }
    setenv("XDG_DATA_HOME", (workFolder() / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (workFolder() / "config").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(workFolder(), ignored);
    return 0;
}

int main(int argc, char** argv) {
    try {
        return runBenchmarks(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fit_import_bench: %s\n", error.what());
        return 1;
    }
}
