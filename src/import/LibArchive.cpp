#include "import/LibArchive.h"

#include <dlfcn.h>

namespace vantrel {

namespace {

// The library's ABI version; the name the distribution's runtime package installs.
constexpr const char* kLibraryName = "libarchive.so.13";

struct Loaded {
    LibArchive functions;
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
    bool ok = resolve(library, "archive_read_new", f.readNew, e) &
              resolve(library, "archive_read_support_format_zip", f.readSupportFormatZip, e) &
              resolve(library, "archive_read_open_filename", f.readOpenFilename, e) &
              resolve(library, "archive_read_next_header", f.readNextHeader, e) &
              resolve(library, "archive_read_data", f.readData, e) &
              resolve(library, "archive_read_free", f.readFree, e) &
              resolve(library, "archive_error_string", f.errorString, e) &
              resolve(library, "archive_entry_pathname", f.entryPathname, e) &
              resolve(library, "archive_entry_pathname_utf8", f.entryPathnameUtf8, e) &
              resolve(library, "archive_entry_hardlink", f.entryHardlink, e) &
              resolve(library, "archive_entry_symlink", f.entrySymlink, e) &
              resolve(library, "archive_entry_filetype", f.entryFiletype, e) &
              resolve(library, "archive_entry_is_data_encrypted", f.entryIsDataEncrypted, e) &
              resolve(library, "archive_entry_size_is_set", f.entrySizeIsSet, e) &
              resolve(library, "archive_entry_size", f.entrySize, e);
    loaded.complete = ok;
    if (ok) e.clear();
    return loaded;
}

const Loaded& loadedOnce() {
    static const Loaded loaded = load();
    return loaded;
}

}  // namespace

const LibArchive* LibArchive::get() {
    const auto& loaded = loadedOnce();
    return loaded.complete ? &loaded.functions : nullptr;
}

const std::string& LibArchive::loadError() {
    return loadedOnce().error;
}

}  // namespace vantrel
