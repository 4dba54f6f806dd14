#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

struct inotify_event;

namespace vantrel {

/// Watches folders and every folder below them with inotify, new folders included, and tells
/// what happens to the files in them. Symbolic links to folders are not followed, so a link
/// back up cannot make the tree endless. Not thread-safe.
class InotifyTree {
  public:
    /// Throws `WatchError` when the system gives no inotify instance.
    InotifyTree();
    ~InotifyTree();
    InotifyTree(const InotifyTree&) = delete;
    InotifyTree& operator=(const InotifyTree&) = delete;

    /// Readable (for poll) when events are waiting.
    int descriptor() const { return m_fd; }

    /// Watches `folder` and the folders below it, then calls `found` with each regular file
    /// in them (watched first, so that nothing written meanwhile is missed). Problems (a
    /// folder that cannot be read, the system's limit of watches) go to `problem`, once each.
    void watch(const std::filesystem::path& folder,
               const std::function<void(const std::filesystem::path&)>& found,
               const std::function<void(const std::string&)>& problem);
    /// Stops watching `folder` and everything below it.
    void unwatch(const std::filesystem::path& folder);
    bool isWatching(const std::filesystem::path& folder) const;

    struct Event {
        enum class Kind {
            written,   ///< data was written; the writer may still have it open
            closed,    ///< a writer closed it
            arrived,   ///< moved in, created, or found in a new folder
            gone,      ///< deleted or moved away (a folder: everything below it)
            lostTrack  ///< the kernel's queue overflowed: what happened is unknown
        };
        Kind kind;
        std::filesystem::path path;
    };
    /// Reads the waiting events without blocking. New folders are watched at once and their
    /// files reported as arrived; `problem` as for `watch`.
    std::vector<Event> read(const std::function<void(const std::string&)>& problem);

  private:
    void addFolder(const std::filesystem::path& folder,
                   const std::function<void(const std::filesystem::path&)>& found,
                   const std::function<void(const std::string&)>& problem);
    void handle(const ::inotify_event& raw, std::vector<Event>& events,
                const std::function<void(const std::string&)>& problem);
    void forgetDescriptor(int wd);

    int m_fd = -1;
    std::unordered_map<int, std::filesystem::path> m_folders;
    std::unordered_map<std::string, int> m_descriptors;
    bool m_limitReported = false;
};

}  // namespace vantrel
