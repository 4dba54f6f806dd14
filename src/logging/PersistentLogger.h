#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel {

enum class LogLevel { debug, info, warn, error };
enum class LogPlatform { iOS, watchOS, macOS };

std::string_view rawValue(LogLevel level);
std::string_view rawValue(LogPlatform platform);

/// The process-wide session logger. `log` formats on the caller's thread and queues the append
/// on one background thread; every file-system failure is silent.
class PersistentLogger {
  public:
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
    /// base/<family>, where base is the "syncFolder" preference's Logs folder when set, else
    /// dataFolder()/Logs. Computed afresh on every call.
    static std::filesystem::path baseFolder();

    /// A logger of its own with a fresh session, for tests; `shared()` is the one to use.
    static std::unique_ptr<PersistentLogger> createForTesting();

    struct Impl;
    ~PersistentLogger();
    PersistentLogger(const PersistentLogger&) = delete;
    PersistentLogger& operator=(const PersistentLogger&) = delete;

  private:
    PersistentLogger();
    void pruneOldFiles();
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrel
