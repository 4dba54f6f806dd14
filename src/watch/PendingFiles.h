#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "watch/SeenFiles.h"

namespace vantrel {

/// The files the watcher has noticed but not read yet, each waiting until it is complete: its
/// writer has closed it and it has stayed unchanged for its place's quiet period. Files copied
/// or synced slowly are thus never read half-written. Times come from the caller, so the rules
/// can be followed without waiting. Not thread-safe.
class PendingFiles {
  public:
    using Clock = std::chrono::steady_clock;

    /// Something happened to `file` at `when` (it was written, closed, moved in or found).
    /// `place` is the caller's number for the watched place it belongs to. `writing` says that
    /// a writer still has it open; `state` is what a scan found (absent for an event).
    void noticed(const std::filesystem::path& file, std::size_t place, Clock::time_point when,
                 Clock::duration quietPeriod, bool writing,
                 std::optional<FileState> state = std::nullopt);
    /// The file's writer closed it at `when`.
    void closed(const std::filesystem::path& file, std::size_t place, Clock::time_point when,
                Clock::duration quietPeriod);
    /// Tries `file` again at `when` (after a failure that was not the file's fault).
    void retryAt(const std::filesystem::path& file, std::size_t place, Clock::time_point when);
    void forget(const std::filesystem::path& file);
    /// Forgets every file of one place, or below one folder.
    void forgetPlace(std::size_t place);
    void forgetBelow(const std::filesystem::path& folder);

    struct Settled {
        std::filesystem::path file;
        std::size_t place = 0;
        FileState state;
    };
    /// The files complete at `now`, taken off the list in path order. A file whose size or time
    /// differs from what was last seen of it waits a quiet period more; one that is gone is
    /// dropped; one that `stillOpen` says is open for writing waits for its close.
    template <typename StillOpen>
    std::vector<Settled> takeSettled(Clock::time_point now, StillOpen stillOpen);
    /// When the next file may be complete; absent when nothing is waiting for time alone.
    std::optional<Clock::time_point> nextDeadline() const;
    bool empty() const { return m_files.empty(); }
    std::size_t size() const { return m_files.size(); }
    /// Files that vanished before they were read, since the last call (for the log).
    std::vector<std::filesystem::path> takeVanished();

  private:
    struct Entry {
        std::size_t place = 0;
        Clock::time_point due;
        Clock::duration quietPeriod{};
        bool writing = false;
        std::optional<FileState> state;
    };
    std::map<std::filesystem::path, Entry> m_files;
    std::vector<std::filesystem::path> m_vanished;
};

template <typename StillOpen>
std::vector<PendingFiles::Settled> PendingFiles::takeSettled(Clock::time_point now,
                                                             StillOpen stillOpen) {
    std::vector<Settled> settled;
    for (auto it = m_files.begin(); it != m_files.end();) {
        Entry& entry = it->second;
        if (entry.writing || entry.due > now) {
            ++it;
            continue;
        }
        std::optional<FileState> state = fileStateOf(it->first);
        if (!state) {
            m_vanished.push_back(it->first);
            it = m_files.erase(it);
            continue;
        }
        if (entry.state && *entry.state != *state) {
            entry.state = state;
            entry.due = now + entry.quietPeriod;
        } else if (stillOpen(it->first, entry.place)) {
            entry.writing = true;
        } else {
            settled.push_back({it->first, entry.place, *state});
            it = m_files.erase(it);
            continue;
        }
        ++it;
    }
    return settled;
}

}  // namespace vantrel
