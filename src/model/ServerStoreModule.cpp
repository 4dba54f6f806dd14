#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "model/RideStore.h"
#include "model/StoreBackend.h"
#include "model/StoreLocation.h"

namespace vantrel {

namespace {

using OpenServerStore = StoreBackend* (*)(const char* url);

std::filesystem::path programFolder() {
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

/// The module beside the program (build tree), in ../lib/vantrel (installed), or where it was
/// built (the test programs live in another folder of the build tree).
OpenServerStore serverStoreEntry(std::string& error) {
    static std::mutex mutex;
    static OpenServerStore entry = nullptr;
    std::lock_guard lock(mutex);
    if (entry) return entry;
    auto folder = programFolder();
    const std::string name = "libvantrel_pgstore.so";
    for (const auto& candidate : {folder / name, folder / "../lib/vantrel" / name,
                                  std::filesystem::path(VANTREL_PGSTORE_BUILD_PATH)}) {
        // Never unloaded: the backends it makes live as long as their stores.
        void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            if (error.empty() || std::filesystem::exists(candidate)) error = dlerror();
            continue;
        }
        entry = reinterpret_cast<OpenServerStore>(dlsym(library, "vantrelOpenServerStore"));
        if (entry) return entry;
        error = candidate.string() + " has no store entry";
        dlclose(library);
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<StoreBackend> openServerBackend(const std::string& url) {
    std::string error;
    auto entry = serverStoreEntry(error);
    if (!entry)
        throw StoreError("Store " + displayLocation(url) +
                         ": PostgreSQL support is not installed: " + error);
    return std::unique_ptr<StoreBackend>(entry(url.c_str()));
}

}  // namespace vantrel
