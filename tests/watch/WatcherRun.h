#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/RideStore.h"
#include "watch/ActivityWatcher.h"

namespace vantrel::test {

/// A GPX document of one activity: `points` points ten seconds apart from `startUnix`, moving
/// north-east, each with a heart rate.
std::string gpxActivity(long startUnix, int points = 30);

/// An activity watcher running on a thread of its own with a store connection of its own, as
/// the window runs it; what it reports is collected for the test to wait for.
class WatcherRun {
  public:
    /// `onFile`, when given, is called on the watcher's thread with each file it read, before
    /// the file is recorded here: to pull a device out in the middle of a reading.
    WatcherRun(const std::filesystem::path& store, WatchOptions options,
               const std::function<void(const WatchedFile&)>& onFile = {});
    ~WatcherRun();
    WatcherRun(const WatcherRun&) = delete;
    WatcherRun& operator=(const WatcherRun&) = delete;

    /// Stops the watcher and waits for its thread.
    void stop();
    /// Waits (up to `timeout`) until `condition` holds over what was reported.
    bool waitFor(const std::function<bool(const WatcherRun&)>& condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool hasStarted() const { return m_started; }

    // What was reported so far; read them inside `waitFor` or after `stop`.
    std::vector<WatchedFile> files;
    std::vector<WatchBatch> batches;
    std::vector<std::string> problems;
    std::vector<std::string> waits;
    /// What `run` threw, if anything.
    std::string error;

    int count(WatchedFile::Kind kind) const;

  private:
    void notify(const std::function<void()>& change);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;
    bool m_finished = false;
    std::unique_ptr<RideStore> m_store;
    std::unique_ptr<ActivityWatcher> m_watcher;
    std::thread m_thread;
};

/// The live activities another connection sees in the store file.
std::vector<RideRef> storedActivities(const std::filesystem::path& store);

}  // namespace vantrel::test
