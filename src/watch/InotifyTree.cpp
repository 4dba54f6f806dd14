#include "watch/InotifyTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "watch/WatchError.h"

namespace vantrel {

namespace {

constexpr std::uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_MOVED_TO |
                                        IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF |
                                        IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

std::string systemText(int error) {
    return std::strerror(error);
}

bool isBelow(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

}  // namespace

InotifyTree::InotifyTree() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (m_fd < 0) throw WatchError("Cannot watch folders: " + systemText(errno));
}

InotifyTree::~InotifyTree() {
    ::close(m_fd);
}

void InotifyTree::watch(const std::filesystem::path& folder,
                        const std::function<void(const std::filesystem::path&)>& found,
                        const std::function<void(const std::string&)>& problem) {
    addFolder(folder.lexically_normal(), found, problem);
}

void InotifyTree::addFolder(const std::filesystem::path& folder,
                            const std::function<void(const std::filesystem::path&)>& found,
                            const std::function<void(const std::string&)>& problem) {
    int wd = inotify_add_watch(m_fd, folder.c_str(), kFolderEvents);
    if (wd < 0) {
        if (errno == ENOSPC) {
            if (!m_limitReported)
                problem("Cannot watch " + folder.string() +
                        ": the system's limit of watched folders is reached "
                        "(fs.inotify.max_user_watches)");
            m_limitReported = true;
        } else if (errno != ENOTDIR && errno != ENOENT) {
            problem("Cannot watch " + folder.string() + ": " + systemText(errno));
        }
        return;
    }
    // A folder moved within the tree keeps its descriptor under its new name.
    if (auto known = m_folders.find(wd); known != m_folders.end())
        m_descriptors.erase(known->second.native());
    m_folders[wd] = folder;
    m_descriptors[folder.native()] = wd;

    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        problem("Cannot read folder " + folder.string() + ": " + systemText(errno));
        return;
    }
    std::vector<std::filesystem::path> subfolders;
    while (const dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        auto path = folder / entry->d_name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0) continue;
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISLNK(status.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            subfolders.push_back(path);
        } else if (type == DT_REG || type == DT_LNK) {
            found(path);
        }
    }
    dir.reset();
    for (const auto& subfolder : subfolders) addFolder(subfolder, found, problem);
}

void InotifyTree::unwatch(const std::filesystem::path& folder) {
    std::vector<int> below;
    for (const auto& [path, wd] : m_descriptors) {
        if (isBelow(path, folder.native())) below.push_back(wd);
    }
    for (int wd : below) {
        inotify_rm_watch(m_fd, wd);
        forgetDescriptor(wd);
    }
}

bool InotifyTree::isWatching(const std::filesystem::path& folder) const {
    return m_descriptors.count(folder.lexically_normal().native()) > 0;
}

void InotifyTree::forgetDescriptor(int wd) {
    auto found = m_folders.find(wd);
    if (found == m_folders.end()) return;
    auto known = m_descriptors.find(found->second.native());
    if (known != m_descriptors.end() && known->second == wd) m_descriptors.erase(known);
    m_folders.erase(found);
}

std::vector<InotifyTree::Event> InotifyTree::read(
    const std::function<void(const std::string&)>& problem) {
    std::vector<Event> events;
    alignas(struct inotify_event) std::array<char, std::size_t{64} * 1024> buffer;
    for (;;) {
        ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
        if (length <= 0) break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* raw = reinterpret_cast<const struct inotify_event*>(buffer.data() + offset);
            handle(*raw, events, problem);
            offset += static_cast<ssize_t>(sizeof(struct inotify_event) + raw->len);
        }
    }
    return events;
}

void InotifyTree::handle(const ::inotify_event& raw, std::vector<Event>& events,
                         const std::function<void(const std::string&)>& problem) {
    using Kind = Event::Kind;
    if (raw.mask & IN_Q_OVERFLOW) return events.push_back({Kind::lostTrack, {}});
    auto folder = m_folders.find(raw.wd);
    if (folder == m_folders.end()) return;
    if (raw.mask & IN_IGNORED) return forgetDescriptor(raw.wd);
    if (raw.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        // The folder itself is gone from where it was; its parent reports the move when it is
        // watched, and a watched root is reported here.
        auto path = folder->second;
        unwatch(path);
        return events.push_back({Kind::gone, path});
    }
    if (raw.len == 0) return;
    auto path = folder->second / raw.name;
    bool isFolder = (raw.mask & IN_ISDIR) != 0;
    if (isFolder) {
        if (raw.mask & (IN_CREATE | IN_MOVED_TO)) {
            addFolder(
                path,
                [&](const auto& file) {
                    events.push_back({Kind::arrived, file});
                },
                problem);
        } else if (raw.mask & (IN_MOVED_FROM | IN_DELETE)) {
            unwatch(path);
            events.push_back({Kind::gone, path});
        }
        return;
    }
    if (raw.mask & IN_CLOSE_WRITE) {
        events.push_back({Kind::closed, path});
    } else if (raw.mask & IN_MODIFY) {
        events.push_back({Kind::written, path});
    } else if (raw.mask & (IN_CREATE | IN_MOVED_TO)) {
        events.push_back({Kind::arrived, path});
    } else if (raw.mask & (IN_MOVED_FROM | IN_DELETE)) {
        events.push_back({Kind::gone, path});
    }
}

}  // namespace vantrel
