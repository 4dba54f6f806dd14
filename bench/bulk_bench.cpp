// Bulk ZIP import: an archive of real activity files (corpus GPX and TCX files repeated under new
// names, each copy moved to a day of its own so that none is a duplicate).
//
//   BM_InspectParse        importActivityFile over the same members, already in memory
//   BM_ZipImport/T         the whole run with T worker threads into a fresh store
//   BM_ZipImportServer/T   the same into a fresh PostgreSQL database over 127.0.0.1 (the test
//                          server named by VANTREL_TEST_PG_URL, see scripts/pg-test-cluster)
//   BM_PeakMemory/N        peak resident memory of a child process importing N files
//   BM_BatchRecheck        what a run's saves read again under the write lock: the rows stored
//                          since it last looked, once per save of a 1,000-file run (20 saves),
//                          in a store holding those 1,000 activities; set it against
//                          BM_ZipImport (BM_BatchRecheckServer: on the test server, against
//                          BM_ZipImportServer)
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "import/ActivityImporter.h"
#include "import/ZipImportService.h"
#include "import/ZipTestArchive.h"
#include "model/RideStore.h"
#include "support/PgTestDatabase.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using vantrel::Bytes;

const char* const kSources[] = {"togeojson__garmin-connect-run.gpx", "tcxparser__fr410-run.tcx",
                                "togeojson__garmin-connect-edge520.tcx", "sportslib__amazfit.gpx"};

struct Member {
    std::string name;
    std::string text;
};

fs::path workFolder() {
    static const fs::path folder = [] {
        fs::path path =
            fs::temp_directory_path() / ("vantrel-bulk-bench-" + std::to_string(getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// "yyyy-mm-dd" of day `index` after 1990-01-01.
std::string dayText(int index) {
    long long days = 7305 + index;  // days from 1970-01-01 to 1990-01-01, plus the index
    // Civil date from a day count (proleptic Gregorian).
    days += 719468;
    long long era = days / 146097;
    long long dayOfEra = days - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long monthIndex = (5 * dayOfYear + 2) / 153;
    long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[16];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", year, month, day);
    return text;
}

bool isDateAt(const std::string& text, std::size_t i) {
    auto digit = [&](std::size_t k) { return text[i + k] >= '0' && text[i + k] <= '9'; };
    return digit(0) && digit(1) && digit(2) && digit(3) && text[i + 4] == '-' && digit(5) &&
           digit(6) && text[i + 7] == '-' && digit(8) && digit(9) && text[i + 10] == 'T';
}

/// Moves every timestamp of the document to one day, keeping the times of day.
std::string movedToDay(const std::string& text, int day) {
    std::string moved = text;
    std::string date = dayText(day);
    for (std::size_t i = 0; i + 11 <= moved.size(); ++i) {
        if (isDateAt(moved, i)) moved.replace(i, 10, date);
    }
    return moved;
}

std::vector<Member> makeMembers(int count) {
    std::vector<std::string> originals;
    for (const char* source : kSources)
        originals.push_back(readText(fs::path(VANTREL_CORPUS_DIR) / source));
    std::vector<Member> members;
    for (int i = 0; i < count; ++i) {
        std::size_t source = static_cast<std::size_t>(i) % originals.size();
        std::string extension = fs::path(kSources[source]).extension().string();
        members.push_back({"export/activities/" + std::to_string(i) + extension,
                           movedToDay(originals[source], i)});
    }
    return members;
}

const std::vector<Member>& members1000() {
    static const std::vector<Member> members = makeMembers(1000);
    return members;
}

fs::path archiveOf(int count) {
    static std::map<int, fs::path> built;
    auto found = built.find(count);
    if (found != built.end()) return found->second;
    fs::path file = workFolder() / ("activities-" + std::to_string(count) + ".zip");
    {
        vantrel::test::ZipTestArchive zip(file);
        const auto& members = members1000();
        for (int i = 0; i < count; ++i) zip.add(members[i].name, members[i].text);
    }
    built[count] = file;
    return file;
}

vantrel::BulkImportResult importInto(const fs::path& storeFile, const fs::path& archive,
                                     int threads) {
    fs::remove(storeFile);
    fs::remove(fs::path(storeFile.string() + "-wal"));
    fs::remove(fs::path(storeFile.string() + "-shm"));
    auto store = vantrel::RideStore::open(storeFile);
    vantrel::BulkImportOptions options(vantrel::PersistentLogger::shared());
    options.threads = threads;
    return vantrel::importZipArchives(*store, {archive}, "ZIP Import", options);
}

double processCpuSeconds() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_InspectParse(benchmark::State& state) {
    std::vector<std::pair<std::string, Bytes>> inputs;
    for (const auto& member : members1000()) {
        inputs.emplace_back(fs::path(member.name).filename().string(),
                            vantrel::bytesOf(member.text));
    }
    for (auto _ : state) {
        for (const auto& [name, bytes] : inputs) {
            benchmark::DoNotOptimize(vantrel::importActivityFile(bytes, name, "ZIP Import"));
        }
    }
    state.counters["files"] = static_cast<double>(inputs.size());
}

void BM_ZipImport(benchmark::State& state) {
    fs::path archive = archiveOf(1000);
    fs::path storeFile = workFolder() / "store.sqlite";
    int imported = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(storeFile);
        double before = processCpuSeconds();
        state.ResumeTiming();
        imported = importInto(storeFile, archive, static_cast<int>(state.range(0))).imported;
        cpuSeconds += processCpuSeconds() - before;
    }
    state.counters["imported"] = imported;
    state.counters["cpu_all_threads_s"] = cpuSeconds / static_cast<double>(state.iterations());
}

void BM_ZipImportServer(benchmark::State& state) {
    if (!vantrel::test::PgTestDatabase::available()) {
        state.SkipWithError(vantrel::test::PgTestDatabase::skipReason());
        return;
    }
    fs::path archive = archiveOf(1000);
    int imported = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto database = std::make_unique<vantrel::test::PgTestDatabase>();
        state.ResumeTiming();
        {
            auto store = vantrel::RideStore::open(database->url());
            vantrel::BulkImportOptions options(vantrel::PersistentLogger::shared());
            options.threads = static_cast<int>(state.range(0));
            imported =
                vantrel::importZipArchives(*store, {archive}, "ZIP Import", options).imported;
        }
        state.PauseTiming();
        database.reset();
        state.ResumeTiming();
    }
    state.counters["imported"] = imported;
}

/// The high-water mark of this process's own resident memory, in KiB. (`ru_maxrss` would also
/// count the parent's memory, which a spawned child shares until it executes.)
long residentHighWaterKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

/// Peak resident memory of a fresh process running one import, in MiB.
double childPeakMemory(const fs::path& archive, int threads) {
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string storeFile = (workFolder() / "child-store.sqlite").string();
    std::string reportFile = (workFolder() / "child-peak.txt").string();
    std::string threadText = std::to_string(threads);
    std::string archiveText = archive.string();
    char* argv[] = {self.data(),
                    const_cast<char*>("--child-import"),
                    archiveText.data(),
                    storeFile.data(),
                    threadText.data(),
                    reportFile.data(),
                    nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    std::ifstream report(reportFile);
    long kib = -1;
    report >> kib;
    return kib / 1024.0;
}

void BM_PeakMemory(benchmark::State& state) {
    fs::path archive = archiveOf(static_cast<int>(state.range(0)));
    double peak = 0;
    for (auto _ : state) peak = childPeakMemory(archive, 2);
    state.counters["peak_MiB"] = peak;
}

constexpr int kSavesPerRun = 1000 / 50;

// The last save's 50 rows are what a run finds above the highest row it has seen.
void rereadEachSave(vantrel::RideStore& store, benchmark::State& state) {
    vantrel::RideQuery all;
    all.withDetails = false;
    std::int64_t highest = 0;
    for (const auto& ride : store.fetch(all)) highest = std::max(highest, ride->objectID);
    vantrel::RideQuery since;
    since.withDetails = false;
    since.objectIDAfter = highest - 50;
    for (auto _ : state) {
        for (int save = 0; save < kSavesPerRun; ++save)
            benchmark::DoNotOptimize(store.fetch(since));
    }
}

void BM_BatchRecheck(benchmark::State& state) {
    fs::path storeFile = workFolder() / "recheck.sqlite";
    importInto(storeFile, archiveOf(1000), 2);
    auto store = vantrel::RideStore::open(storeFile);
    rereadEachSave(*store, state);
}

void BM_BatchRecheckServer(benchmark::State& state) {
    if (!vantrel::test::PgTestDatabase::available()) {
        state.SkipWithError(vantrel::test::PgTestDatabase::skipReason());
        return;
    }
    vantrel::test::PgTestDatabase database;
    auto store = vantrel::RideStore::open(database.url());
    vantrel::BulkImportOptions options(vantrel::PersistentLogger::shared());
    options.threads = 2;
    vantrel::importZipArchives(*store, {archiveOf(1000)}, "ZIP Import", options);
    rereadEachSave(*store, state);
}

BENCHMARK(BM_InspectParse)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ZipImport)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(BM_ZipImportServer)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BatchRecheck)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_BatchRecheckServer)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_PeakMemory)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

void isolateFromUserData() {
    fs::path home = workFolder() / "home";
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    unsetenv("VANTREL_STORE");
    unsetenv("VANTREL_PREFERENCES");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--child-import") {
        importInto(argv[3], argv[2], std::atoi(argv[4]));
        std::ofstream(argv[5]) << residentHighWaterKiB() << "\n";
        return 0;
    }
    isolateFromUserData();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(workFolder(), ignored);
    return 0;
}
