#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vantrel {

/// The claim of one watcher on one store: the window and `vantrel-cli watch` must not both
/// import the same new files into it. An flock on a file in $XDG_RUNTIME_DIR (the cache folder
/// when that is not set), released by the kernel whenever the holder ends, however it ends.
/// Whoever waits for it is woken by inotify when a holder closes the file: no polling.
class WatcherLock {
  public:
    /// `storeLocation` names the store (its location as given); `holder` says who would hold
    /// it, for those who wait ("vantrel-cli watch", "Vantrel").
    WatcherLock(const std::string& storeLocation, std::string holder);
    ~WatcherLock();
    WatcherLock(const WatcherLock&) = delete;
    WatcherLock& operator=(const WatcherLock&) = delete;

    /// Takes the lock when it is free. Throws `WatchError` when the lock file cannot be made.
    bool tryAcquire();
    bool isHeld() const { return m_held; }
    /// Who holds the lock now, as they wrote it ("vantrel-cli watch (process 4242)"); empty
    /// when unknown.
    std::string currentHolder() const;
    /// Readable (for poll) after someone closed the lock file: a holder may have ended. Call
    /// `takeWakeUps` and `tryAcquire` then.
    int wakeDescriptor() const { return m_notify; }
    void takeWakeUps();
    const std::filesystem::path& path() const { return m_path; }

    /// The lock file of a store.
    static std::filesystem::path pathFor(const std::string& storeLocation);

  private:
    std::filesystem::path m_path;
    std::string m_holder;
    int m_fd = -1;
    int m_notify = -1;
    bool m_held = false;
};

}  // namespace vantrel
