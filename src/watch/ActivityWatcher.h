#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "logging/PersistentLogger.h"
#include "watch/MountTable.h"
#include "watch/PendingFiles.h"

namespace vantrel {

class InotifyTree;
class RideStore;
class SeenFiles;
struct WatchImportOutcome;

/// What the watcher watches and how.
struct WatchOptions {
    explicit WatchOptions(PersistentLogger& watchLogger) : logger(&watchLogger) {}

    /// Folders watched with everything below them; their activities get the label "Folder".
    std::vector<std::filesystem::path> folders;
    /// Also read volumes that hold an activity folder when they are mounted (watches and bike
    /// computers plugged in as USB storage); their activities get the volume's label.
    bool devices = false;
    /// Activity folders besides "GARMIN/Activity", relative to a volume's root.
    std::vector<std::string> deviceActivityFolders;
    /// How long a file in a watched folder must stay unchanged after its writer closed it.
    std::chrono::milliseconds quietPeriod{2000};
    /// When a file whose activities the store could not save is tried again.
    std::chrono::milliseconds retryPeriod{60000};
    /// Where the memory of seen files is kept; empty: the cache folder's "watch".
    std::filesystem::path memoryFolder;
    /// Which mounted volumes may be devices (`mayBeDevice` when empty).
    std::function<bool(const MountedVolume&)> acceptVolume;
    /// Who is watching, for another watcher of the same store that has to wait.
    std::string holderName = "Vantrel";
    /// Where failures and outcomes are logged; never null.
    PersistentLogger* logger;
};

/// One file the watcher read.
struct WatchedFile {
    enum class Kind { imported, skipped, failed };
    Kind kind = Kind::imported;
    /// The place it came from: the volume's label or the watched folder's name.
    std::string placeName;
    std::filesystem::path file;
    /// The new activities (a ZIP archive may hold several).
    int activities = 0;
    /// Why it failed.
    std::string description;
};

/// What one round of reading at one place brought: for the window's notification.
struct WatchBatch {
    std::string placeName;
    bool fromDevice = false;
    std::vector<std::int64_t> objectIDs;
    /// (file name, description) per failed file.
    std::vector<std::pair<std::string, std::string>> failures;
};

/// What the watcher tells its owner, on the watcher's thread.
struct WatchCallbacks {
    std::function<void(const WatchedFile&)> file;
    std::function<void(const WatchBatch&)> batch;
    /// Another watcher holds the store (named as it named itself); this one waits for it.
    std::function<void(const std::string& holder)> waiting;
    /// Watching has begun (what was already there is being read).
    std::function<void()> started;
    /// Something cannot be watched or read (also logged at ERROR); once per cause.
    std::function<void(const std::string& message)> problem;
};

/// Brings new activities into the store by themselves: from watched folders (inotify, new
/// folders included) and from devices mounted as USB storage (the kernel's mount table). A file
/// is imported when complete, through the ordinary import (duplicates skipped); a failure is
/// reported once and the file not tried again until it changes; what was read is remembered per
/// place in the cache folder, so a restart or a device plugged in again reads only what is new.
/// Only one watcher of a store runs at a time; another waits for it (see `WatcherLock`).
/// Idle, it blocks in poll: no CPU is spent while nothing happens.
class ActivityWatcher {
  public:
    /// `store` is used from the thread that calls `run`.
    ActivityWatcher(RideStore& store, WatchOptions options, WatchCallbacks callbacks = {});
    ~ActivityWatcher();
    ActivityWatcher(const ActivityWatcher&) = delete;
    ActivityWatcher& operator=(const ActivityWatcher&) = delete;

    /// Watches until `stop`, then returns after the file in hand is stored. Throws `WatchError`
    /// when watching cannot begin (no inotify, no mount table for devices, no lock file).
    void run();
    /// Ends `run` soon. Safe from any thread and from a signal handler.
    void stop();

  private:
    struct Place;

    bool waitForLock();
    void setUp();
    void addFolderPlace(const std::filesystem::path& folder);
    void watchFolder(std::size_t index);
    void considerMountedVolumes(const std::vector<MountedVolume>& table);
    void addVolumePlace(const MountedVolume& volume,
                        std::vector<std::filesystem::path> activityFolders);
    void scanVolume(std::size_t index);
    void consider(std::size_t index, const std::filesystem::path& file);
    void waitForWork();
    void handleFolderEvents();
    void handleMountChanges();
    void importSettled();
    /// What became of the file; absent when it is left for later (store trouble, device gone).
    std::optional<WatchedFile::Kind> importFile(const PendingFiles::Settled& settled,
                                                WatchBatch& batch);
    void finishBatch(const WatchBatch& batch, int skipped);
    bool volumeStillMounted(const Place& place);
    void volumeRemoved(std::size_t index);
    std::size_t placeOfFile(const std::filesystem::path& file) const;
    std::string relativeName(const Place& place, const std::filesystem::path& file) const;
    void report(const std::string& message);
    bool stopping() const { return m_stopping.load(); }

    RideStore& m_store;
    WatchOptions m_options;
    WatchCallbacks m_callbacks;
    std::string m_storeKey;
    int m_stopFd = -1;
    std::atomic<bool> m_stopping{false};
    std::unique_ptr<InotifyTree> m_folders;
    std::unique_ptr<MountMonitor> m_mounts;
    std::vector<std::unique_ptr<Place>> m_places;
    PendingFiles m_pending;
    /// Mounts already looked at, so that each is probed for activity folders once.
    std::set<int> m_probedMounts;
    std::set<std::string> m_reported;
    bool m_storeTrouble = false;
    /// The place whose files are being imported, if any.
    std::optional<std::size_t> m_readingPlace;
};

}  // namespace vantrel
