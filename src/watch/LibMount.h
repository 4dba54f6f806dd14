#pragma once

#include <libmount/libmount.h>

#include <string>

namespace vantrel {

/// The libmount functions the device watcher calls, resolved from the shared library the first
/// time the mount table is watched. Linking libmount would load it, with libblkid, libselinux
/// and PCRE, at the start of every command-line run, although only the watcher needs it.
struct LibMount {
    decltype(&::mnt_new_monitor) newMonitor = nullptr;
    decltype(&::mnt_unref_monitor) unrefMonitor = nullptr;
    decltype(&::mnt_monitor_enable_kernel) monitorEnableKernel = nullptr;
    decltype(&::mnt_monitor_get_fd) monitorGetFd = nullptr;
    decltype(&::mnt_monitor_next_change) monitorNextChange = nullptr;
    decltype(&::mnt_new_table_from_file) newTableFromFile = nullptr;
    decltype(&::mnt_unref_table) unrefTable = nullptr;
    decltype(&::mnt_new_iter) newIter = nullptr;
    decltype(&::mnt_free_iter) freeIter = nullptr;
    decltype(&::mnt_table_next_fs) tableNextFs = nullptr;
    decltype(&::mnt_fs_get_target) fsGetTarget = nullptr;
    decltype(&::mnt_fs_get_source) fsGetSource = nullptr;
    decltype(&::mnt_fs_get_fstype) fsGetFstype = nullptr;
    decltype(&::mnt_fs_get_vfs_options) fsGetVfsOptions = nullptr;
    decltype(&::mnt_fs_get_id) fsGetId = nullptr;

    /// The loaded library, or nullptr when it or one of its functions could not be found; then
    /// `loadError()` says why. Loads once per process; safe to call from any thread.
    static const LibMount* get();
    static const std::string& loadError();
};

}  // namespace vantrel
