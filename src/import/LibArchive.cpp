#include "import/LibArchive.h"

#include "model/SharedLibrary.h"

namespace vantrel {

namespace {

// The library's ABI version; the name the distribution's runtime package installs.
constexpr const char* kLibraryName = "libarchive.so.13";

using Loaded = LoadedFunctions<LibArchive>;

Loaded load() {
    Loaded loaded;
    SharedLibrary library(kLibraryName);
    auto& f = loaded.functions;
    bool ok = library.resolve("archive_read_new", f.readNew) &&
              library.resolve("archive_read_support_format_zip", f.readSupportFormatZip) &&
              library.resolve("archive_read_open_filename", f.readOpenFilename) &&
              library.resolve("archive_read_next_header", f.readNextHeader) &&
              library.resolve("archive_read_data", f.readData) &&
              library.resolve("archive_read_free", f.readFree) &&
              library.resolve("archive_error_string", f.errorString) &&
              library.resolve("archive_entry_pathname", f.entryPathname) &&
              library.resolve("archive_entry_pathname_utf8", f.entryPathnameUtf8) &&
              library.resolve("archive_entry_hardlink", f.entryHardlink) &&
              library.resolve("archive_entry_symlink", f.entrySymlink) &&
              library.resolve("archive_entry_filetype", f.entryFiletype) &&
              library.resolve("archive_entry_is_data_encrypted", f.entryIsDataEncrypted) &&
              library.resolve("archive_entry_size_is_set", f.entrySizeIsSet) &&
              library.resolve("archive_entry_size", f.entrySize);
    loaded.complete = ok;
    loaded.error = library.error();
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
