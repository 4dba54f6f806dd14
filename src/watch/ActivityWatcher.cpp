#include "watch/ActivityWatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "model/Paths.h"
#include "model/RideStore.h"
#include "model/StoreLocation.h"
#include "watch/DeviceVolumes.h"
#include "watch/InotifyTree.h"
#include "watch/SeenFiles.h"
#include "watch/WatchError.h"
#include "watch/WatchImport.h"
#include "watch/WatcherLock.h"

namespace vantrel {

namespace {

using Clock = PendingFiles::Clock;

/// The label a watched folder's activities carry as their source.
constexpr const char* kFolderLabel = "Folder";
/// Files that become complete this close together are read as one batch (and announced in one
/// notification): a copy of several files takes a few milliseconds between them.
constexpr auto kBatchSlack = std::chrono::milliseconds(150);

// A read lease cannot be had while anyone has the file open for writing: the kernel's own
// answer to "has its writer closed it?", for files that were being written before we watched.
// Where leases are not offered (network file systems) the quiet period has to do.
bool openForWriting(const std::filesystem::path& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == EWOULDBLOCK;
    bool writing = false;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    } else {
        writing = errno == EAGAIN;
    }
    ::close(fd);
    return writing;
}

std::string storeKeyOf(const RideStore& store) {
    std::string location = store.path().string();
    if (isServerLocation(location)) return location;
    std::error_code error;
    auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(location), error);
    return error ? location : canonical.string();
}

// Folders below another watched folder are watched with it.
std::vector<std::filesystem::path> distinctFolders(std::vector<std::filesystem::path> folders) {
    for (auto& folder : folders) {
        std::error_code error;
        folder = std::filesystem::absolute(folder, error).lexically_normal();
        if (!folder.has_filename()) folder = folder.parent_path();  // "rides/" is "rides"
    }
    std::sort(folders.begin(), folders.end());
    std::vector<std::filesystem::path> distinct;
    for (const auto& folder : folders) {
        bool below = false;
        for (const auto& kept : distinct) {
            auto relative = folder.lexically_relative(kept);
            below = below || (!relative.empty() && *relative.begin() != "..");
        }
        if (!below) distinct.push_back(folder);
    }
    return distinct;
}

}  // namespace

struct ActivityWatcher::Place {
    std::filesystem::path root;
    /// What is read: the folder itself, or a volume's activity folders.
    std::vector<std::filesystem::path> folders;
    std::string label;
    std::string name;
    std::string identity;
    bool volume = false;
    int mountID = -1;
    /// Watched (a folder) or mounted (a volume).
    bool present = false;
    std::unique_ptr<SeenFiles> seen;
};

ActivityWatcher::ActivityWatcher(RideStore& store, WatchOptions options, WatchCallbacks callbacks)
    : m_store(store),
      m_options(std::move(options)),
      m_callbacks(std::move(callbacks)),
      m_storeKey(storeKeyOf(store)),
      m_stopFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (m_stopFd < 0) throw WatchError("Cannot watch: no event descriptor for stopping");
    if (m_options.memoryFolder.empty()) m_options.memoryFolder = cacheFolder() / "watch";
    if (!m_options.acceptVolume) m_options.acceptVolume = mayBeDevice;
}

ActivityWatcher::~ActivityWatcher() {
    ::close(m_stopFd);
}

void ActivityWatcher::stop() {
    m_stopping.store(true);
    std::uint64_t one = 1;
    // write() may be called from a signal handler; a full counter still wakes the loop.
    [[maybe_unused]] ssize_t written = ::write(m_stopFd, &one, sizeof one);
}

void ActivityWatcher::run() {
    WatcherLock lock(m_storeKey, m_options.holderName);
    if (!lock.tryAcquire()) {
        std::string holder = lock.currentHolder();
        m_options.logger->log(LogLevel::info, "Import",
                              "Watching waits: " + (holder.empty() ? "another watcher" : holder) +
                                  " watches this store");
        if (m_callbacks.waiting) m_callbacks.waiting(holder);
        while (!lock.tryAcquire()) {
            pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {lock.wakeDescriptor(), POLLIN, 0}};
            ::poll(fds, 2, -1);
            if (stopping()) return;
            lock.takeWakeUps();
        }
    }
    if (stopping()) return;
    setUp();
    if (m_callbacks.started) m_callbacks.started();
    while (!stopping()) {
        importSettled();
        if (stopping()) break;
        waitForWork();
        if (stopping()) break;
        handleFolderEvents();
        handleMountChanges();
    }
}

void ActivityWatcher::setUp() {
    m_folders = std::make_unique<InotifyTree>();
    try {
        m_mounts = std::make_unique<MountMonitor>();
    } catch (const WatchError&) {
        // Without devices the mount table only brings back folders on volumes mounted late.
        if (m_options.devices) throw;
    }
    for (const auto& folder : distinctFolders(m_options.folders)) addFolderPlace(folder);
    if (m_options.devices) considerMountedVolumes(readMountTable());
}

void ActivityWatcher::addFolderPlace(const std::filesystem::path& folder) {
    auto place = std::make_unique<Place>();
    place->root = folder;
    place->folders = {folder};
    place->label = kFolderLabel;
    place->name = folder.filename().empty() ? folder.string() : folder.filename().string();
    place->identity = "folder:" + folder.string();
    place->seen = std::make_unique<SeenFiles>(
        seenFilesPath(m_options.memoryFolder, m_storeKey, place->identity), place->identity);
    if (place->seen->writeError())
        report("Cannot remember what was read in " + m_options.memoryFolder.string() + ": " +
               *place->seen->writeError());
    m_places.push_back(std::move(place));
    watchFolder(m_places.size() - 1);
}

void ActivityWatcher::watchFolder(std::size_t index) {
    Place& place = *m_places[index];
    std::error_code error;
    if (!std::filesystem::is_directory(place.root, error)) {
        report("Cannot watch " + place.root.string() + ": the folder does not exist");
        return;
    }
    place.present = true;
    m_folders->watch(
        place.root, [&](const std::filesystem::path& file) { consider(index, file); },
        [&](const std::string& message) { report(message); });
    // Should it go again, that is worth saying again.
    m_reported.erase("Cannot watch " + place.root.string() + ": the folder does not exist");
    m_reported.erase("Cannot watch " + place.root.string() +
                     ": the folder was removed or moved away");
}

void ActivityWatcher::considerMountedVolumes(const std::vector<MountedVolume>& table) {
    for (const auto& volume : table) {
        if (!m_probedMounts.insert(volume.id).second || !m_options.acceptVolume(volume)) continue;
        auto folders = activityFoldersOn(volume.target, m_options.deviceActivityFolders);
        if (!folders.empty()) addVolumePlace(volume, std::move(folders));
    }
}

void ActivityWatcher::addVolumePlace(const MountedVolume& volume,
                                     std::vector<std::filesystem::path> activityFolders) {
    std::string label = volumeLabel(volume);
    std::string identity = "volume:" + volumeIdentity(volume, label);
    std::size_t index = m_places.size();
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        // Mounted twice (a bind mount): read once.
        if (m_places[i]->identity == identity && m_places[i]->present) return;
        if (m_places[i]->identity == identity) index = i;
    }
    if (index == m_places.size()) m_places.push_back(std::make_unique<Place>());
    Place& place = *m_places[index];
    place.root = volume.target;
    place.folders = std::move(activityFolders);
    place.label = label;
    place.name = label;
    place.identity = identity;
    place.volume = true;
    place.mountID = volume.id;
    place.present = true;
    if (!place.seen)
        place.seen = std::make_unique<SeenFiles>(
            seenFilesPath(m_options.memoryFolder, m_storeKey, identity), identity);
    m_options.logger->log(LogLevel::info, "Import",
                          "Reading activities from " + label + " at " + volume.target +
                              (volume.readOnly ? " (read-only)" : ""));
    scanVolume(index);
}

void ActivityWatcher::scanVolume(std::size_t index) {
    Place& place = *m_places[index];
    // Symbolic links are not followed: a device's folder of activities holds plain files, and a
    // link on a volume someone plugged in must not lead the import elsewhere.
    for (const auto& folder : place.folders) {
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator
                 it(folder, std::filesystem::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            std::error_code typeError;
            if (it->is_regular_file(typeError) && !it->is_symlink(typeError))
                consider(index, it->path());
        }
    }
}

void ActivityWatcher::consider(std::size_t index, const std::filesystem::path& file) {
    Place& place = *m_places[index];
    if (!isWatchedFileName(file.filename().string())) return;
    std::optional<FileState> state = fileStateOf(file);
    std::error_code error;
    if (!state && std::filesystem::is_symlink(file, error))
        report("Not imported: " + file.string() +
               " is a symbolic link that leads nowhere or in a circle");
    if (!state || place.seen->isSeen(relativeName(place, file), *state)) return;
    // A device's files are complete once it is mounted: they are read at once.
    auto quiet = place.volume ? Clock::duration::zero() : Clock::duration(m_options.quietPeriod);
    m_pending.noticed(file, index, Clock::now(), quiet, false, state);
}

void ActivityWatcher::waitForWork() {
    int timeout = -1;
    if (auto deadline = m_pending.nextDeadline()) {
        auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(*deadline + kBatchSlack - Clock::now());
        timeout = static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, INT_MAX));
    }
    pollfd fds[3] = {{m_stopFd, POLLIN, 0},
                     {m_folders->descriptor(), POLLIN, 0},
                     {m_mounts ? m_mounts->descriptor() : -1, POLLIN, 0}};
    while (::poll(fds, 3, timeout) < 0 && errno == EINTR && !stopping()) {
    }
}

void ActivityWatcher::handleFolderEvents() {
    using Kind = InotifyTree::Event::Kind;
    auto now = Clock::now();
    auto quiet = Clock::duration(m_options.quietPeriod);
    for (const auto& event : m_folders->read([this](const std::string& m) { report(m); })) {
        if (event.kind == Kind::lostTrack) {
            // Too much at once for the kernel's queue: look at everything again; what was read
            // is remembered and not read twice.
            m_options.logger->log(LogLevel::info, "Import",
                                  "Many files changed at once; watched folders are read again");
            for (std::size_t i = 0; i < m_places.size(); ++i) {
                if (!m_places[i]->volume && m_places[i]->present) {
                    m_folders->unwatch(m_places[i]->root);
                    watchFolder(i);
                }
            }
            continue;
        }
        std::size_t index = placeOfFile(event.path);
        if (index == m_places.size()) continue;
        bool watchedName = isWatchedFileName(event.path.filename().string());
        switch (event.kind) {
            case Kind::written:
                if (watchedName) m_pending.noticed(event.path, index, now, quiet, true);
                break;
            case Kind::closed:
                if (watchedName) m_pending.closed(event.path, index, now, quiet);
                break;
            case Kind::arrived:
                consider(index, event.path);
                break;
            case Kind::gone:
                m_pending.forget(event.path);
                m_pending.forgetBelow(event.path);
                if (event.path == m_places[index]->root) {
                    m_places[index]->present = false;
                    report("Cannot watch " + event.path.string() +
                           ": the folder was removed or moved away");
                }
                break;
            case Kind::lostTrack:
                break;
        }
    }
}

void ActivityWatcher::handleMountChanges() {
    if (!m_mounts || !m_mounts->takeChanges()) return;
    std::vector<MountedVolume> table = readMountTable();
    std::set<int> mounted;
    for (const auto& volume : table) mounted.insert(volume.id);
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        Place& place = *m_places[i];
        if (place.volume && place.present && !mounted.count(place.mountID)) volumeRemoved(i);
        // A watched folder on a volume mounted late comes back with it.
        if (!place.volume && !place.present) watchFolder(i);
    }
    std::erase_if(m_probedMounts, [&mounted](int id) { return !mounted.count(id); });
    if (m_options.devices) considerMountedVolumes(table);
}

void ActivityWatcher::volumeRemoved(std::size_t index) {
    Place& place = *m_places[index];
    bool midRead = m_readingPlace == index;
    place.present = false;
    m_pending.forgetPlace(index);
    m_options.logger->log(
        LogLevel::info, "Import",
        place.name + (midRead ? " was removed while it was read; the rest is read when it is "
                                "plugged in again"
                              : " was removed"));
}

bool ActivityWatcher::volumeStillMounted(const Place& place) {
    for (const auto& volume : readMountTable()) {
        if (volume.id == place.mountID) return true;
    }
    return false;
}

void ActivityWatcher::importSettled() {
    auto settled = m_pending.takeSettled(Clock::now(), [this](const auto& file, std::size_t place) {
        return !m_places[place]->volume && openForWriting(file);
    });
    for (const auto& file : m_pending.takeVanished())
        m_options.logger->log(LogLevel::info, "Import",
                              "Not imported: " + file.string() + " disappeared before it was read");
    std::size_t i = 0;
    while (i < settled.size() && !stopping()) {
        std::size_t place = settled[i].place;
        WatchBatch batch;
        batch.placeName = m_places[place]->name;
        batch.fromDevice = m_places[place]->volume;
        int skipped = 0;
        m_readingPlace = place;
        for (; i < settled.size() && settled[i].place == place && !stopping(); ++i) {
            if (!m_places[place]->present) continue;
            if (importFile(settled[i], batch) == WatchedFile::Kind::skipped) ++skipped;
            // An unplugged device ends its reading before the next file fails too.
            if (batch.fromDevice) handleMountChanges();
        }
        m_readingPlace.reset();
        finishBatch(batch, skipped);
    }
}

std::optional<WatchedFile::Kind> ActivityWatcher::importFile(const PendingFiles::Settled& settled,
                                                             WatchBatch& batch) {
    using Kind = WatchImportOutcome::Kind;
    Place& place = *m_places[settled.place];
    std::string name = relativeName(place, settled.file);
    WatchImportOutcome outcome =
        importWatchedFile(m_store, settled.file, place.label, *m_options.logger);
    if (outcome.kind == Kind::unreadable && place.volume && !volumeStillMounted(place)) {
        volumeRemoved(settled.place);
        return std::nullopt;
    }
    bool failed = outcome.kind == Kind::failed || outcome.kind == Kind::unreadable;
    if (failed && fileStateOf(settled.file) != std::optional(settled.state)) {
        // Written again while it was read: what failed was not the finished file, whose close
        // brings it back.
        m_options.logger->log(LogLevel::info, "Import",
                              "Not imported yet: " + settled.file.string() +
                                  " changed or disappeared while it was read");
        return std::nullopt;
    }
    WatchedFile report{WatchedFile::Kind::imported, place.name, settled.file,
                       static_cast<int>(outcome.objectIDs.size()), outcome.description};
    switch (outcome.kind) {
        case Kind::imported:
            m_storeTrouble = false;
            place.seen->remember(name, {settled.state, SeenOutcome::imported});
            batch.objectIDs.insert(batch.objectIDs.end(), outcome.objectIDs.begin(),
                                   outcome.objectIDs.end());
            break;
        case Kind::skipped:
            place.seen->remember(name, {settled.state, SeenOutcome::skipped});
            report.kind = WatchedFile::Kind::skipped;
            break;
        case Kind::failed:
        case Kind::unreadable:
            place.seen->remember(name, {settled.state, SeenOutcome::failed});
            m_options.logger->log(
                LogLevel::error, "Import",
                "Import failed for " + settled.file.string() + ": " + outcome.description);
            batch.failures.emplace_back(settled.file.filename().string(), outcome.description);
            // Legs of a multisport file that were stored before one was refused stay stored.
            batch.objectIDs.insert(batch.objectIDs.end(), outcome.objectIDs.begin(),
                                   outcome.objectIDs.end());
            report.kind = WatchedFile::Kind::failed;
            break;
        case Kind::unsaved:
            // Not the file's fault: it is read again later, and the trouble logged once.
            if (!m_storeTrouble)
                m_options.logger->log(LogLevel::error, "Import",
                                      "Cannot store imported activities: " + outcome.description +
                                          "; trying again later");
            m_storeTrouble = true;
            m_pending.retryAt(settled.file, settled.place, Clock::now() + m_options.retryPeriod);
            return std::nullopt;
    }
    if (m_callbacks.file) m_callbacks.file(report);
    return report.kind;
}

void ActivityWatcher::finishBatch(const WatchBatch& batch, int skipped) {
    int imported = static_cast<int>(batch.objectIDs.size());
    int failed = static_cast<int>(batch.failures.size());
    if (imported == 0 && failed == 0 && skipped == 0) return;
    m_options.logger->log(LogLevel::info, "Import",
                          "Watched import from " + batch.placeName + ": " +
                              std::to_string(imported) + " imported, " + std::to_string(skipped) +
                              " skipped, " + std::to_string(failed) + " errors");
    if ((imported > 0 || failed > 0) && m_callbacks.batch) m_callbacks.batch(batch);
}

std::size_t ActivityWatcher::placeOfFile(const std::filesystem::path& file) const {
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        const Place& place = *m_places[i];
        if (place.volume || !place.present) continue;
        auto relative = file.lexically_relative(place.root);
        if (!relative.empty() && *relative.begin() != "..") return i;
    }
    return m_places.size();
}

std::string ActivityWatcher::relativeName(const Place& place,
                                          const std::filesystem::path& file) const {
    return file.lexically_relative(place.root).string();
}

void ActivityWatcher::report(const std::string& message) {
    if (!m_reported.insert(message).second) return;
    m_options.logger->log(LogLevel::error, "Import", message);
    if (m_callbacks.problem) m_callbacks.problem(message);
}

}  // namespace vantrel
