#include "watch/LibMount.h"

#include <dlfcn.h>

namespace vantrel {

namespace {

// The library's ABI version; the name the distribution's runtime package installs.
constexpr const char* kLibraryName = "libmount.so.1";

struct Loaded {
    LibMount functions;
    std::string error;
    bool complete = false;
};

template <typename Function>
bool resolve(void* library, const char* symbol, Function& function, std::string& error) {
    function = reinterpret_cast<Function>(dlsym(library, symbol));
    if (function == nullptr && error.empty()) error = std::string("missing ") + symbol;
    return function != nullptr;
}

Loaded load() {
    Loaded loaded;
    // Never closed: the functions stay in use until the process ends.
    void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        loaded.error = reason != nullptr ? reason : kLibraryName;
        return loaded;
    }
    auto& f = loaded.functions;
    auto& e = loaded.error;
    bool ok = resolve(library, "mnt_new_monitor", f.newMonitor, e) &&
              resolve(library, "mnt_unref_monitor", f.unrefMonitor, e) &&
              resolve(library, "mnt_monitor_enable_kernel", f.monitorEnableKernel, e) &&
              resolve(library, "mnt_monitor_get_fd", f.monitorGetFd, e) &&
              resolve(library, "mnt_monitor_next_change", f.monitorNextChange, e) &&
              resolve(library, "mnt_new_table_from_file", f.newTableFromFile, e) &&
              resolve(library, "mnt_unref_table", f.unrefTable, e) &&
              resolve(library, "mnt_new_iter", f.newIter, e) &&
              resolve(library, "mnt_free_iter", f.freeIter, e) &&
              resolve(library, "mnt_table_next_fs", f.tableNextFs, e) &&
              resolve(library, "mnt_fs_get_target", f.fsGetTarget, e) &&
              resolve(library, "mnt_fs_get_source", f.fsGetSource, e) &&
              resolve(library, "mnt_fs_get_fstype", f.fsGetFstype, e) &&
              resolve(library, "mnt_fs_get_vfs_options", f.fsGetVfsOptions, e) &&
              resolve(library, "mnt_fs_get_id", f.fsGetId, e);
    loaded.complete = ok;
    if (ok) e.clear();
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
