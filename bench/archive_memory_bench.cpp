// Peak memory of importing one 216 MB year file of the archive format into an empty store,
// against the target of 64 MB plus the largest activity. The import runs in a child process
// whose high-water mark of resident memory is reset just before it, so that neither the
// benchmark's own memory nor the file's generation is counted. Run with
// --benchmark_counters_tabular=true; the figures are in MB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "archive/ArchiveImport.h"
#include "model/Base64.h"
#include "model/RideStore.h"

namespace vantrel {
namespace {

constexpr std::uintmax_t kFileBytes = 216'000'000;
constexpr std::size_t kLargestRoute = 4'000'000;
constexpr double kMegabyte = 1'000'000;

struct BenchFile {
    std::filesystem::path root;
    std::filesystem::path archive;
    std::size_t largestActivity = 0;
    int activities = 0;

    BenchFile() {
        char pattern[] = "/tmp/vantrel-archive-memory-XXXXXX";
        root = mkdtemp(pattern);
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        archive = root / "Vantrel_2024.json";
        write();
    }
    ~BenchFile() { std::filesystem::remove_all(root); }

    // A year of activities of 0.6 to 1.1 MB of series each, and one of 5 MB: the sizes of long
    // rides recorded every second with heart rate.
    void write() {
        std::ofstream out(archive, std::ios::binary);
        out << R"({"appName":"Vantrel","exportDate":"2024-12-31T18:00:00Z","rides":[)";
        std::mt19937 random(3);
        std::uintmax_t written = 0;
        while (written < kFileBytes) {
            std::size_t route = activities == 100 ? kLargestRoute : 450'000 + random() % 300'000;
            std::string ride = activity(random, route, route / 4);
            largestActivity = std::max(largestActivity, ride.size());
            out << (activities++ ? "," : "") << ride;
            written += ride.size();
        }
        out << R"(],"version":1})";
    }

    std::string activity(std::mt19937& random, std::size_t route, std::size_t heartRate) {
        auto bytes = [&random](std::size_t count) {
            Bytes data(count);
            for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
            return base64Encode(data);
        };
        char date[32];
        std::snprintf(date, sizeof date, "2024-%02d-%02dT07:30:00Z", 1 + activities % 12,
                      1 + activities % 28);
        return std::string(R"({"activeTime":3600,"averageHeartRate":140,"calories":600,"date":")") +
               date + R"(","distance":30000,"duration":3600,"elevationGain":100,)" +
               R"("heartRateData":")" + bytes(heartRate) + R"(","maxHeartRate":170,"rideID":")" +
               Uuid::random().toString() + R"(","routeData":")" + bytes(route) + "\"}";
    }
};

BenchFile& benchFile() {
    static BenchFile instance;
    return instance;
}

std::uint64_t statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stoull(line.substr(std::strlen(field)));
    }
    return 0;
}

/// In a child: the growth of resident memory (bytes) from just before the import to its peak.
std::uint64_t importGrowth(const std::filesystem::path& archive,
                           const std::filesystem::path& store) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return 0;
    pid_t child = fork();
    if (child == 0) {
        auto opened = RideStore::open(store);
        std::ofstream("/proc/self/clear_refs") << "5";
        std::uint64_t before = statusKilobytes("VmRSS:");
        importArchiveFiles(*opened, {archive}, PersistentLogger::shared());
        std::uint64_t growth = (statusKilobytes("VmHWM:") - before) * 1024;
        (void)!write(pipeEnds[1], &growth, sizeof growth);
        _exit(0);
    }
    close(pipeEnds[1]);
    std::uint64_t growth = 0;
    (void)!read(pipeEnds[0], &growth, sizeof growth);
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return growth;
}

void BM_ArchiveImportPeakMemory(benchmark::State& state) {
    BenchFile& file = benchFile();
    std::uint64_t growth = 0;
    for (auto _ : state) {
        auto store = file.root / "store.sqlite";
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(store.string() + suffix);
        growth = importGrowth(file.archive, store);
    }
    double budget = 64 * kMegabyte + static_cast<double>(file.largestActivity);
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(file.archive)) / kMegabyte;
    state.counters["activities"] = file.activities;
    state.counters["largest_MB"] = static_cast<double>(file.largestActivity) / kMegabyte;
    state.counters["peak_growth_MB"] = static_cast<double>(growth) / kMegabyte;
    state.counters["budget_MB"] = budget / kMegabyte;
    state.counters["growth_per_budget"] = static_cast<double>(growth) / budget;
}
BENCHMARK(BM_ArchiveImportPeakMemory)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vantrel
