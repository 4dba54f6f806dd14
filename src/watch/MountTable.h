#pragma once

#include <string>
#include <vector>

struct libmnt_monitor;

namespace vantrel {

/// One entry of the kernel's mount table.
struct MountedVolume {
    /// The kernel's mount identifier: a volume mounted again gets a new one.
    int id = 0;
    std::string target;
    std::string source;
    std::string fileSystem;
    bool readOnly = false;
};

/// The mount table as the kernel lists it for this process. Empty when it cannot be read.
std::vector<MountedVolume> readMountTable();

/// Tells when the kernel's mount table changes, through a descriptor that becomes readable then
/// (for poll): nothing is spent while nothing is mounted or unmounted.
class MountMonitor {
  public:
    /// Throws `WatchError` when libmount cannot be loaded or the table cannot be watched.
    MountMonitor();
    ~MountMonitor();
    MountMonitor(const MountMonitor&) = delete;
    MountMonitor& operator=(const MountMonitor&) = delete;

    int descriptor() const { return m_fd; }
    /// Takes the waiting notices without blocking; true when there was any.
    bool takeChanges();

  private:
    ::libmnt_monitor* m_monitor = nullptr;
    int m_fd = -1;
};

}  // namespace vantrel
