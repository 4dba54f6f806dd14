#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "logging/LogSettings.h"

namespace vantrel {

/// The device families that keep session logs in the shared folder, in listing order. This
/// computer writes the `Linux` family; the others come from the user's other devices.
enum class LogPlatform { iOS, watchOS, macOS, Linux };

std::string_view rawValue(LogLevel level);
std::string_view rawValue(LogPlatform platform);

/// `text` with every control character written as an escape ("\n", "\t", "\x1B", "\u2028"),
/// so that a logged value such as a file name can never start a line of its own.
std::string escapedLogValue(std::string_view text);

/// The session logger. `log` formats on the caller's thread and queues the append on one
/// background thread. File-system failures never reach the callers: the first one that stops
/// the log from being written is reported once on stderr, and logging goes on. The flows that
/// log take one as a parameter; the app's application object and the command line's context
/// hand them `shared()`, which nothing else reaches for.
class PersistentLogger {
  public:
    /// A logger with a fresh session in `settings.folder`, writing lines of `settings.level`
    /// and above.
    explicit PersistentLogger(LogSettings settings);

    /// The process-wide logger (or the one a `ScopedSharedLogger` installed), made on first use
    /// from the shared preferences and never destroyed, so references to it stay valid.
    static PersistentLogger& shared();

    void log(LogLevel level, std::string_view category, std::string_view message);
    /// Session files of one family, newest first; empty when the folder cannot be listed.
    std::vector<std::filesystem::path> logFiles(LogPlatform platform) const;
    std::vector<std::pair<LogPlatform, std::filesystem::path>> allLogFiles() const;
    std::uint64_t totalLogSize() const;
    /// Queues the deletion of every session file of every family, then a new session.
    void deleteAllLogs();
    /// Blocks until everything queued so far has been written (tests, before exit).
    void flush();
    std::optional<std::filesystem::path> currentLogFile() const;
    /// Takes a changed level at once; a changed folder is listed from now on, and holds the
    /// next session (the current one goes on in its file).
    void setSettings(LogSettings settings);
    LogSettings settings() const;
    /// The folder that holds a folder per family, as the settings have it now.
    std::filesystem::path baseFolder() const;

    /// A logger of its own with a fresh session, made from the shared preferences, for tests.
    static std::unique_ptr<PersistentLogger> createForTesting();
    /// Runs `job` on the logger's queue as if it were one of its own (tests of failing work).
    void enqueueForTesting(std::function<void()> job);

    struct Impl;
    ~PersistentLogger();
    PersistentLogger(const PersistentLogger&) = delete;
    PersistentLogger& operator=(const PersistentLogger&) = delete;

  private:
    static std::vector<std::filesystem::path> logFilesIn(const std::filesystem::path& base,
                                                         LogPlatform platform);
    void pruneOldFiles(const std::filesystem::path& base);
    std::unique_ptr<Impl> m_impl;
};

/// Makes `PersistentLogger::shared()` a fresh logger, with a session of its own in the log
/// folder of the moment, for its lifetime, and the one it replaced when it ends, so that a test
/// leaves the process as it found it. Guards nest; end them in reverse order. The installed
/// logger is flushed at the end and kept alive, so references taken meanwhile stay valid.
class ScopedSharedLogger {
  public:
    ScopedSharedLogger();
    ~ScopedSharedLogger();
    ScopedSharedLogger(const ScopedSharedLogger&) = delete;
    ScopedSharedLogger& operator=(const ScopedSharedLogger&) = delete;

    PersistentLogger& logger() const { return *m_installed; }

  private:
    std::unique_ptr<PersistentLogger> m_installed;
    /// The logger replaced; null when none had been made yet.
    PersistentLogger* m_previous = nullptr;
};

}  // namespace vantrel
