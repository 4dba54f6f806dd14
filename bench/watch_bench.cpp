// The activity watcher against its targets: a file closed in a watched folder is in the store
// within 2.5 s (the 2 s quiet period plus the import); the start-up check of 10,000 files read
// before takes at most 1 s; a minute of idle watching costs under 0.1 s of CPU.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>

#include "model/RideStore.h"
#include "watch/ActivityWatcher.h"
#include "watch/SeenFiles.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

/// A folder of its own for each benchmark, with the XDG folders pointed into it so that the
/// watcher's log, memory and lock stay out of the user's.
class Sandbox {
  public:
    Sandbox() {
        std::string pattern = (std::filesystem::temp_directory_path() / "watch-bench-XXXXXX");
        m_root = mkdtemp(pattern.data());
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
            std::filesystem::create_directories(m_root / name);
            setenv(name, (m_root / name).c_str(), 1);
        }
        std::filesystem::create_directories(folder());
    }
    ~Sandbox() { std::filesystem::remove_all(m_root); }
    std::filesystem::path folder() const { return m_root / "rides"; }
    std::filesystem::path store() const { return m_root / "store.sqlite"; }
    std::filesystem::path memory() const { return m_root / "memory"; }

  private:
    std::filesystem::path m_root;
};

std::string gpx(long startUnix) {
    std::string text =
        "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"bench\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>";
    for (int i = 0; i < 600; ++i) {
        std::time_t time = startUnix + i;
        char stamp[32];
        std::tm utc{};
        gmtime_r(&time, &utc);
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
        text += "<trkpt lat=\"" + std::to_string(47 + i * 1e-4) + "\" lon=\"8\"><time>" + stamp +
                "</time></trkpt>";
    }
    return text + "</trkseg></trk></gpx>";
}

/// A watcher on its own thread that tells when it has started and when a file was read.
class RunningWatcher {
  public:
    RunningWatcher(const Sandbox& sandbox, bool devices)
        : m_store(RideStore::open(sandbox.store())) {
        WatchOptions options(PersistentLogger::shared());
        options.folders = {sandbox.folder()};
        options.devices = devices;
        options.memoryFolder = sandbox.memory();
        WatchCallbacks callbacks;
        callbacks.started = [this] { signal([this] { m_started = true; }); };
        callbacks.file = [this](const WatchedFile&) { signal([this] { ++m_files; }); };
        m_watcher = std::make_unique<ActivityWatcher>(*m_store, options, callbacks);
        m_begun = Clock::now();
        m_thread = std::thread([this] { m_watcher->run(); });
    }
    ~RunningWatcher() {
        m_watcher->stop();
        m_thread.join();
    }
    /// Seconds from the start of `run` to watching.
    double waitUntilStarted() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_started; });
        return std::chrono::duration<double>(m_startedAt - m_begun).count();
    }
    int filesRead() {
        std::lock_guard lock(m_mutex);
        return m_files;
    }
    void waitForFiles(int count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_files >= count; });
    }

  private:
    void signal(const std::function<void()>& change) {
        {
            std::lock_guard lock(m_mutex);
            m_startedAt = Clock::now();
            change();
        }
        m_changed.notify_all();
    }

    std::unique_ptr<RideStore> m_store;
    std::unique_ptr<ActivityWatcher> m_watcher;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;
    int m_files = 0;
    Clock::time_point m_begun;
    Clock::time_point m_startedAt;
};

void BM_FileClosedToStored(benchmark::State& state) {
    Sandbox sandbox;
    RunningWatcher watcher(sandbox, false);
    watcher.waitUntilStarted();
    int written = 0;
    for (auto _ : state) {
        std::string text = gpx(1'700'000'000L + 86'400L * written);
        auto start = Clock::now();
        {
            std::ofstream out(sandbox.folder() / ("ride-" + std::to_string(written) + ".gpx"));
            out << text;
        }
        watcher.waitForFiles(++written);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["target_s"] = 2.5;
}
BENCHMARK(BM_FileClosedToStored)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_StartUpCheckOf10000SeenFiles(benchmark::State& state) {
    Sandbox sandbox;
    std::string identity = "folder:" + sandbox.folder().string();
    {
        SeenFiles seen(
            seenFilesPath(sandbox.memory(),
                          std::filesystem::canonical(sandbox.folder().parent_path()).string() +
                              "/store.sqlite",
                          identity),
            identity);
        for (int i = 0; i < 10'000; ++i) {
            auto name = "2024/" + std::to_string(i / 500) + "/ride-" + std::to_string(i) + ".fit";
            std::filesystem::create_directories((sandbox.folder() / name).parent_path());
            std::ofstream(sandbox.folder() / name) << "FIT " << i;
            seen.remember(name, {*fileStateOf(sandbox.folder() / name), SeenOutcome::imported});
        }
    }
    bool checked = false;
    for (auto _ : state) {
        RunningWatcher watcher(sandbox, false);
        state.SetIterationTime(watcher.waitUntilStarted());
        if (std::exchange(checked, true)) continue;
        // Past the quiet period nothing may have been read: the memory was found.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        if (watcher.filesRead() != 0) state.SkipWithError("the memory of seen files was not used");
    }
    state.counters["target_s"] = 1.0;
}
BENCHMARK(BM_StartUpCheckOf10000SeenFiles)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The whole process's CPU time while a watcher of a folder and of the mount table waits.
void BM_IdleMinuteCpu(benchmark::State& state) {
    Sandbox sandbox;
    for (auto _ : state) {
        RunningWatcher watcher(sandbox, true);
        watcher.waitUntilStarted();
        double before = processCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        state.counters["cpu_s"] = processCpuSeconds() - before;
    }
    state.counters["target_s"] = 0.1;
}
BENCHMARK(BM_IdleMinuteCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
