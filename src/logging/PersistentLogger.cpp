#include "logging/PersistentLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "Version.h"
#include "model/Date.h"

#ifdef VANTREL_HAVE_SYSTEMD
#include <dlfcn.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#endif

namespace fs = std::filesystem;

namespace vantrel {

namespace {

constexpr LogPlatform kOwnPlatform = LogPlatform::Linux;
constexpr LogPlatform kAllPlatforms[] = {LogPlatform::iOS, LogPlatform::watchOS, LogPlatform::macOS,
                                         LogPlatform::Linux};
constexpr int kRetentionDays = 7;

std::string timestampOfNow() {
    Date instant = now();
    std::string seconds = formatLocal(instant, "%Y-%m-%d %H:%M:%S");
    double unix = unixFromDate(instant);
    // A clock far off (or not a number) still gives a stamp; the conversion must stay defined.
    double fractionOfSecond = std::isfinite(unix) ? unix - std::floor(unix) : 0.0;
    int millis = static_cast<int>(fractionOfSecond * 1000.0);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", std::clamp(millis, 0, 999));
    return seconds + fraction;
}

#ifdef VANTREL_HAVE_SYSTEMD
// The journal library is loaded with the first mirrored line, not linked: linking it would load
// it and its crypto libraries at the start of every command-line run. Without it (a system
// without systemd) the lines simply stay in the session files.
using JournalSend = decltype(&sd_journal_send);

JournalSend journalSend() {
    static const JournalSend send = [] {
        void* library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
        return library != nullptr ? reinterpret_cast<JournalSend>(dlsym(library, "sd_journal_send"))
                                  : nullptr;
    }();
    return send;
}
#endif

void mirrorToJournal([[maybe_unused]] LogLevel level, [[maybe_unused]] const std::string& line) {
#ifdef VANTREL_HAVE_SYSTEMD
    JournalSend send = journalSend();
    if (send == nullptr) return;
    int priority = level == LogLevel::debug  ? LOG_DEBUG
                   : level == LogLevel::info ? LOG_INFO
                                             : LOG_ERR;
    send("MESSAGE=%s", line.c_str(), "PRIORITY=%i", priority, "SYSLOG_IDENTIFIER=vantrel",
         "CODE_CATEGORY=PersistentLogger", nullptr);
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
    double unix = unixFromDate(now());
    std::time_t nowSeconds = std::isfinite(unix) && std::fabs(unix) < 1e15
                                 ? static_cast<std::time_t>(unix)
                                 : std::time(nullptr);
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
        case LogPlatform::Linux:
            return "Linux";
    }
    return "Linux";
}

std::string escapedLogValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto hex = [&out](const char* prefix, unsigned value, int digits) {
        char buffer[12];
        std::snprintf(buffer, sizeof buffer, "%s%0*X", prefix, digits, value);
        out += buffer;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        auto next = [&](std::size_t offset) {
            return i + offset < text.size() ? static_cast<unsigned char>(text[i + offset]) : 0u;
        };
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            hex("\\x", byte, 2);
        } else if (byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {
            // C1 controls such as NEL (U+0085), which some viewers break lines at.
            hex("\\u", next(1), 4);
            i += 1;
        } else if (byte == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {
            hex("\\u", 0x2000u + next(2) - 0x80u, 4);  // line and paragraph separators
            i += 2;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

/// The serial queue: one thread that runs appends, pruning and deletion in order.
struct PersistentLogger::Impl {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    bool running = true;
    bool busy = false;
    std::atomic<bool> reportedFailure{false};
    int fd = -1;
    std::optional<fs::path> currentLogFile;
    /// Read on every line, so kept apart from the mutex that the queue takes.
    std::atomic<LogLevel> level;
    /// Guarded by `mutex`.
    fs::path folder;
    std::thread worker;

    explicit Impl(LogSettings settings)
        : level(settings.level), folder(std::move(settings.folder)), worker([this] { drain(); }) {}

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
            runGuarded(job);
            lock.lock();
            busy = false;
            if (jobs.empty()) idle.notify_all();
        }
    }

    /// Runs queued work so that nothing it throws can end the process (an exception escaping
    /// this thread would call std::terminate): the failure is reported and the queue goes on.
    void runGuarded(const std::function<void()>& job) {
        try {
            job();
        } catch (const std::exception& error) {
            reportFailure(error.what());
        } catch (...) {
            reportFailure("unknown error");
        }
    }

    /// Tells the user once per logger, on stderr, that the log is not being written; later
    /// failures say nothing new and would only flood the terminal.
    void reportFailure(const std::string& reason) {
        if (reportedFailure.exchange(true)) return;
        std::fprintf(stderr, "vantrel: the log cannot be written: %s\n", reason.c_str());
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
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                reportFailure(std::string("cannot append to the session file: ") +
                              std::strerror(errno));
                return;
            }
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }

    /// Creates the session file exclusively: a second process (or a second session) starting
    /// in the same second gets "_2", "_3", … instead of truncating the other's file, and a
    /// symlink left in a session file's place is passed over, never written through.
    void startSession() {
        fs::path family = baseFolder() / std::string(rawValue(kOwnPlatform));
        std::error_code ignored;
        fs::create_directories(family, ignored);
        std::string stem = "session_" + formatLocal(now(), "%Y-%m-%d_%H%M%S");
        closeFile();
        for (int attempt = 1; attempt <= 100 && fd < 0; ++attempt) {
            std::string name = stem + (attempt == 1 ? "" : "_" + std::to_string(attempt)) + ".log";
            fd = ::open((family / name).c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (fd >= 0) {
                std::lock_guard lock(mutex);
                currentLogFile = family / name;
            }
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) {
            int reason = errno;
            std::lock_guard lock(mutex);
            currentLogFile.reset();  // lines now reach only the journal
            reportFailure("cannot create a session file in " + family.string() + ": " +
                          std::strerror(reason));
        }
        write(std::string("=== Vantrel Log Session Started ===\n    Platform: ") +
              std::string(rawValue(kOwnPlatform)) + " | Version: " + versionOrUnknown(kVersion) +
              " | Build: " + versionOrUnknown(kBuild) + "\n");
    }

    fs::path baseFolder() {
        std::lock_guard lock(mutex);
        return folder;
    }

    static std::string versionOrUnknown(const char* text) {
        return text && *text ? std::string(text) : std::string("unknown");
    }
};

PersistentLogger::PersistentLogger(LogSettings settings)
    : m_impl(std::make_unique<Impl>(std::move(settings))) {
    m_impl->startSession();
    // The folder is settled here: pruning prunes where this session started, whatever the
    // settings become while it goes on.
    m_impl->enqueue([this, base = baseFolder()] { pruneOldFiles(base); });
}

PersistentLogger::~PersistentLogger() = default;

void PersistentLogger::setSettings(LogSettings settings) {
    m_impl->level = settings.level;
    std::lock_guard lock(m_impl->mutex);
    m_impl->folder = std::move(settings.folder);
}

LogSettings PersistentLogger::settings() const {
    return {m_impl->level.load(), m_impl->baseFolder()};
}

fs::path PersistentLogger::baseFolder() const {
    return m_impl->baseFolder();
}

void PersistentLogger::enqueueForTesting(std::function<void()> job) {
    m_impl->enqueue(std::move(job));
}

void PersistentLogger::log(LogLevel level, std::string_view category, std::string_view message) {
    // Logging is never a reason for the caller to fail.
    m_impl->runGuarded([&] {
        if (level < m_impl->level.load(std::memory_order_relaxed)) return;
        std::string line = "[" + timestampOfNow() + "] [" + std::string(rawValue(kOwnPlatform)) +
                           "] [" + std::string(rawValue(level)) + "] [" +
                           escapedLogValue(category) + "] " + escapedLogValue(message) + "\n";
        mirrorToJournal(level, line);
        m_impl->enqueue([impl = m_impl.get(), line = std::move(line)] { impl->write(line); });
    });
}

std::vector<fs::path> PersistentLogger::logFiles(LogPlatform platform) const {
    return logFilesIn(baseFolder(), platform);
}

std::vector<fs::path> PersistentLogger::logFilesIn(const fs::path& base, LogPlatform platform) {
    std::vector<fs::path> files;
    std::error_code error;
    fs::directory_iterator it(base / std::string(rawValue(platform)), error);
    // Stepping with an error code: the throwing increment of a range loop would end the
    // logger's thread (and the process) on an I/O error in the middle of a listing.
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const fs::path& file = it->path();
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

void PersistentLogger::pruneOldFiles(const fs::path& base) {
    std::time_t cutoff = pruneCutoff();
    auto current = currentLogFile();
    for (LogPlatform platform : kAllPlatforms) {
        for (const auto& file : logFilesIn(base, platform)) {
            auto created = creationTime(file);
            if (!created || *created >= cutoff || (current && file == *current)) continue;
            std::error_code ignored;
            fs::remove(file, ignored);
        }
    }
}

}  // namespace vantrel
