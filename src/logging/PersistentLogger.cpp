#include "logging/PersistentLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "Version.h"
#include "model/Date.h"
#include "model/Paths.h"
#include "model/Preferences.h"

#ifdef VANTREL_HAVE_SYSTEMD
#include <syslog.h>
#include <systemd/sd-journal.h>
#endif

namespace fs = std::filesystem;

namespace vantrel {

namespace {

constexpr LogPlatform kOwnPlatform = LogPlatform::macOS;
constexpr LogPlatform kAllPlatforms[] = {LogPlatform::iOS, LogPlatform::watchOS,
                                         LogPlatform::macOS};
constexpr int kRetentionDays = 7;

LogLevel levelFilter() {
    auto stored = Preferences::shared().string(kLogLevelKey);
    if (stored == "DEBUG") return LogLevel::debug;
    if (stored == "WARN") return LogLevel::warn;
    if (stored == "ERROR") return LogLevel::error;
    return LogLevel::info;
}

std::string timestampOfNow() {
    Date instant = now();
    std::string seconds = formatLocal(instant, "%Y-%m-%d %H:%M:%S");
    double unix = unixFromDate(instant);
    int millis = static_cast<int>((unix - std::floor(unix)) * 1000.0);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", std::clamp(millis, 0, 999));
    return seconds + fraction;
}

void mirrorToJournal([[maybe_unused]] LogLevel level, [[maybe_unused]] const std::string& line) {
#ifdef VANTREL_HAVE_SYSTEMD
    int priority = level == LogLevel::debug  ? LOG_DEBUG
                   : level == LogLevel::info ? LOG_INFO
                                             : LOG_ERR;
    sd_journal_send("MESSAGE=%s", line.c_str(), "PRIORITY=%i", priority,
                    "SYSLOG_IDENTIFIER=vantrel", "CODE_CATEGORY=PersistentLogger", nullptr);
#endif
}

/// The earlier of the birth time (where the file system records one) and the modification
/// time: a session file is only ever appended to, so this is when it was created.
std::optional<std::time_t> creationTime(const fs::path& file) {
    struct statx info {};
    if (statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0)
        return std::nullopt;
    std::time_t created = info.stx_mtime.tv_sec;
    if (info.stx_mask & STATX_BTIME)
        created = std::min<std::time_t>(created, info.stx_btime.tv_sec);
    return created;
}

std::time_t pruneCutoff() {
    std::time_t nowSeconds = static_cast<std::time_t>(unixFromDate(now()));
    std::tm local{};
    localtime_r(&nowSeconds, &local);
    local.tm_mday -= kRetentionDays;  // calendar days, so daylight-saving changes don't shift it
    local.tm_isdst = -1;
    return std::mktime(&local);
}

}  // namespace

std::string_view rawValue(LogLevel level) {
    switch (level) {
        case LogLevel::debug:
            return "DEBUG";
        case LogLevel::info:
            return "INFO";
        case LogLevel::warn:
            return "WARN";
        case LogLevel::error:
            return "ERROR";
    }
    return "INFO";
}

std::string_view rawValue(LogPlatform platform) {
    switch (platform) {
        case LogPlatform::iOS:
            return "iOS";
        case LogPlatform::watchOS:
            return "watchOS";
        case LogPlatform::macOS:
            return "macOS";
    }
    return "macOS";
}

/// The serial queue: one thread that runs appends, pruning and deletion in order.
struct PersistentLogger::Impl {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    bool running = true;
    bool busy = false;
    int fd = -1;
    std::optional<fs::path> currentLogFile;
    std::thread worker;

    Impl() : worker([this] { drain(); }) {}

    ~Impl() {
        {
            std::lock_guard lock(mutex);
            running = false;
        }
        wake.notify_all();
        worker.join();
        closeFile();
    }

    void enqueue(std::function<void()> job) {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
    }

    void drain() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !jobs.empty() || !running; });
            if (jobs.empty()) return;
            auto job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            lock.unlock();
            job();
            lock.lock();
            busy = false;
            if (jobs.empty()) idle.notify_all();
        }
    }

    void waitIdle() {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return jobs.empty() && !busy; });
    }

    void closeFile() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    void write(const std::string& text) {
        if (fd < 0) return;
        const char* data = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            ssize_t written = ::write(fd, data, left);
            if (written <= 0) return;
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }

    /// Creates the session file exclusively: a second process (or a second session) starting
    /// in the same second gets "_2", "_3", … instead of truncating the other's file.
    void startSession() {
        fs::path folder = PersistentLogger::baseFolder() / std::string(rawValue(kOwnPlatform));
        std::error_code ignored;
        fs::create_directories(folder, ignored);
        std::string stem = "session_" + formatLocal(now(), "%Y-%m-%d_%H%M%S");
        closeFile();
        for (int attempt = 1; attempt <= 100 && fd < 0; ++attempt) {
            std::string name = stem + (attempt == 1 ? "" : "_" + std::to_string(attempt)) + ".log";
            fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC,
                        0644);
            if (fd >= 0) {
                std::lock_guard lock(mutex);
                currentLogFile = folder / name;
            }
            if (fd < 0 && errno != EEXIST) break;
        }
        write(std::string("=== Vantrel Log Session Started ===\n    Platform: ") +
              std::string(rawValue(kOwnPlatform)) + " | Version: " + versionOrUnknown(kVersion) +
              " | Build: " + versionOrUnknown(kBuild) + "\n");
    }

    static std::string versionOrUnknown(const char* text) {
        return text && *text ? std::string(text) : std::string("unknown");
    }
};

PersistentLogger::PersistentLogger() : m_impl(std::make_unique<Impl>()) {
    m_impl->startSession();
    m_impl->enqueue([this] { pruneOldFiles(); });
}

PersistentLogger::~PersistentLogger() = default;

PersistentLogger& PersistentLogger::shared() {
    // Never destroyed, so that lines logged from other threads during exit still have a logger;
    // queued lines are flushed at exit so that a short-lived process keeps its last lines.
    static PersistentLogger* instance = [] {
        auto* logger = new PersistentLogger();
        std::atexit([] { PersistentLogger::shared().flush(); });
        return logger;
    }();
    return *instance;
}

std::unique_ptr<PersistentLogger> PersistentLogger::createForTesting() {
    return std::unique_ptr<PersistentLogger>(new PersistentLogger());
}

fs::path PersistentLogger::baseFolder() {
    auto sync = Preferences::shared().string(kSyncFolderKey);
    if (sync && !sync->empty()) return fs::path(*sync) / "Logs";
    return dataFolder() / "Logs";
}

void PersistentLogger::log(LogLevel level, std::string_view category, std::string_view message) {
    if (level < levelFilter()) return;
    std::string line = "[" + timestampOfNow() + "] [" + std::string(rawValue(kOwnPlatform)) +
                       "] [" + std::string(rawValue(level)) + "] [" + std::string(category) + "] " +
                       std::string(message) + "\n";
    mirrorToJournal(level, line);
    m_impl->enqueue([impl = m_impl.get(), line = std::move(line)] { impl->write(line); });
}

std::vector<fs::path> PersistentLogger::logFiles(LogPlatform platform) const {
    std::vector<fs::path> files;
    std::error_code error;
    fs::directory_iterator it(baseFolder() / std::string(rawValue(platform)), error);
    if (error) return files;
    for (const auto& entry : it) {
        const fs::path& file = entry.path();
        std::string name = file.filename().string();
        if (name.empty() || name.front() == '.' || file.extension() != ".log") continue;
        files.push_back(file);
    }
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() > b.filename(); });
    return files;
}

std::vector<std::pair<LogPlatform, fs::path>> PersistentLogger::allLogFiles() const {
    std::vector<std::pair<LogPlatform, fs::path>> all;
    for (LogPlatform platform : kAllPlatforms) {
        for (auto& file : logFiles(platform)) all.emplace_back(platform, std::move(file));
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return a.second.filename() > b.second.filename();
    });
    return all;
}

std::uint64_t PersistentLogger::totalLogSize() const {
    std::uint64_t total = 0;
    for (const auto& [platform, file] : allLogFiles()) {
        std::error_code error;
        auto size = fs::file_size(file, error);
        if (!error) total += size;
    }
    return total;
}

void PersistentLogger::deleteAllLogs() {
    m_impl->enqueue([this] {
        m_impl->closeFile();
        for (LogPlatform platform : kAllPlatforms) {
            for (const auto& file : logFiles(platform)) {
                std::error_code ignored;
                fs::remove(file, ignored);
            }
        }
        m_impl->startSession();
    });
}

void PersistentLogger::flush() {
    m_impl->waitIdle();
}

std::optional<fs::path> PersistentLogger::currentLogFile() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->currentLogFile;
}

void PersistentLogger::pruneOldFiles() {
    std::time_t cutoff = pruneCutoff();
    auto current = currentLogFile();
    for (LogPlatform platform : kAllPlatforms) {
        for (const auto& file : logFiles(platform)) {
            auto created = creationTime(file);
            if (!created || *created >= cutoff || (current && file == *current)) continue;
            std::error_code ignored;
            fs::remove(file, ignored);
        }
    }
}

}  // namespace vantrel
