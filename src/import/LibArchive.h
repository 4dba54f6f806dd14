#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <string>

namespace vantrel {

/// The libarchive functions the ZIP reader calls, resolved from the shared library the first
/// time an archive is opened. Linking libarchive would load it, with libxml2 and ICU, at the
/// start of every command-line run, although only the archive imports need it.
struct LibArchive {
    decltype(&::archive_read_new) readNew = nullptr;
    decltype(&::archive_read_support_format_zip) readSupportFormatZip = nullptr;
    decltype(&::archive_read_open_filename) readOpenFilename = nullptr;
    decltype(&::archive_read_next_header) readNextHeader = nullptr;
    decltype(&::archive_read_data) readData = nullptr;
    decltype(&::archive_read_free) readFree = nullptr;
    decltype(&::archive_error_string) errorString = nullptr;
    decltype(&::archive_entry_pathname) entryPathname = nullptr;
    decltype(&::archive_entry_pathname_utf8) entryPathnameUtf8 = nullptr;
    decltype(&::archive_entry_hardlink) entryHardlink = nullptr;
    decltype(&::archive_entry_symlink) entrySymlink = nullptr;
    decltype(&::archive_entry_filetype) entryFiletype = nullptr;
    decltype(&::archive_entry_is_data_encrypted) entryIsDataEncrypted = nullptr;
    decltype(&::archive_entry_size_is_set) entrySizeIsSet = nullptr;
    decltype(&::archive_entry_size) entrySize = nullptr;

    /// The loaded library, or nullptr when it or one of its functions could not be found; then
    /// `loadError()` says why. Loads once per process; safe to call from any thread.
    static const LibArchive* get();
    static const std::string& loadError();
};

}  // namespace vantrel
