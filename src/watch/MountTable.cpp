#include "watch/MountTable.h"

#include <memory>
#include <string_view>

#include "watch/LibMount.h"
#include "watch/WatchError.h"

namespace vantrel {

namespace {

bool hasOption(std::string_view options, std::string_view option) {
    while (!options.empty()) {
        auto comma = options.find(',');
        if (options.substr(0, comma) == option) return true;
        if (comma == std::string_view::npos) break;
        options.remove_prefix(comma + 1);
    }
    return false;
}

std::string textOf(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

MountedVolume volumeOf(const LibMount& mount, struct libmnt_fs* fs) {
    MountedVolume volume;
    volume.id = mount.fsGetId(fs);
    volume.target = textOf(mount.fsGetTarget(fs));
    volume.source = textOf(mount.fsGetSource(fs));
    volume.fileSystem = textOf(mount.fsGetFstype(fs));
    const char* options = mount.fsGetVfsOptions(fs);
    volume.readOnly = options != nullptr && hasOption(options, "ro");
    return volume;
}

}  // namespace

std::vector<MountedVolume> readMountTable() {
    const LibMount* mount = LibMount::get();
    if (mount == nullptr) return {};
    // libmount unescapes the table's octal escapes (a label with spaces) for us.
    std::unique_ptr<struct libmnt_table, void (*)(struct libmnt_table*)> table(
        mount->newTableFromFile("/proc/self/mountinfo"), mount->unrefTable);
    if (!table) return {};
    std::unique_ptr<struct libmnt_iter, void (*)(struct libmnt_iter*)> iterator(
        mount->newIter(MNT_ITER_FORWARD), mount->freeIter);
    if (!iterator) return {};
    std::vector<MountedVolume> volumes;
    struct libmnt_fs* fs = nullptr;
    while (mount->tableNextFs(table.get(), iterator.get(), &fs) == 0)
        volumes.push_back(volumeOf(*mount, fs));
    return volumes;
}

MountMonitor::MountMonitor() {
    const LibMount* mount = LibMount::get();
    if (mount == nullptr)
        throw WatchError("Cannot watch for plugged-in devices: libmount could not be loaded (" +
                         LibMount::loadError() + ")");
    m_monitor = mount->newMonitor();
    if (m_monitor == nullptr || mount->monitorEnableKernel(m_monitor, 1) != 0 ||
        (m_fd = mount->monitorGetFd(m_monitor)) < 0) {
        if (m_monitor != nullptr) mount->unrefMonitor(m_monitor);
        throw WatchError("Cannot watch for plugged-in devices: the mount table cannot be watched");
    }
}

MountMonitor::~MountMonitor() {
    LibMount::get()->unrefMonitor(m_monitor);
}

bool MountMonitor::takeChanges() {
    const LibMount* mount = LibMount::get();
    bool changed = false;
    while (mount->monitorNextChange(m_monitor, nullptr, nullptr) == 0) changed = true;
    return changed;
}

}  // namespace vantrel
