#include "watch/LibMount.h"

#include "model/SharedLibrary.h"

namespace vantrel {

namespace {

// The library's ABI version; the name the distribution's runtime package installs.
constexpr const char* kLibraryName = "libmount.so.1";

using Loaded = LoadedFunctions<LibMount>;

Loaded load() {
    Loaded loaded;
    SharedLibrary library(kLibraryName);
    auto& f = loaded.functions;
    bool ok = library.resolve("mnt_new_monitor", f.newMonitor) &&
              library.resolve("mnt_unref_monitor", f.unrefMonitor) &&
              library.resolve("mnt_monitor_enable_kernel", f.monitorEnableKernel) &&
              library.resolve("mnt_monitor_get_fd", f.monitorGetFd) &&
              library.resolve("mnt_monitor_next_change", f.monitorNextChange) &&
              library.resolve("mnt_new_table_from_file", f.newTableFromFile) &&
              library.resolve("mnt_unref_table", f.unrefTable) &&
              library.resolve("mnt_new_iter", f.newIter) &&
              library.resolve("mnt_free_iter", f.freeIter) &&
              library.resolve("mnt_table_next_fs", f.tableNextFs) &&
              library.resolve("mnt_fs_get_target", f.fsGetTarget) &&
              library.resolve("mnt_fs_get_source", f.fsGetSource) &&
              library.resolve("mnt_fs_get_fstype", f.fsGetFstype) &&
              library.resolve("mnt_fs_get_vfs_options", f.fsGetVfsOptions) &&
              library.resolve("mnt_fs_get_id", f.fsGetId);
    loaded.complete = ok;
    loaded.error = library.error();
    return loaded;
}

const Loaded& loadedOnce() {
    static const Loaded loaded = load();
    return loaded;
}

}  // namespace

const LibMount* LibMount::get() {
    const auto& loaded = loadedOnce();
    return loaded.complete ? &loaded.functions : nullptr;
}

const std::string& LibMount::loadError() {
    return loadedOnce().error;
}

}  // namespace vantrel
