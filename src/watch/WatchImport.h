#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "logging/PersistentLogger.h"

namespace vantrel {

class RideStore;

/// What became of one file the watcher handed to the import.
struct WatchImportOutcome {
    enum class Kind {
        imported,    ///< at least one new activity is stored
        skipped,     ///< everything in it is stored already
        failed,      ///< the file is broken or holds no activity
        unreadable,  ///< the system refused to read it (gone, no permission, device pulled out)
        unsaved,     ///< the store refused or could not be reached: not the file's fault
    };
    Kind kind = Kind::failed;
    /// The store identifiers of the new activities.
    std::vector<std::int64_t> objectIDs;
    /// Why it failed or was not saved.
    std::string description;
};

/// Imports one activity file (GPX, TCX, FIT, each also gzip) or ZIP archive as the ordinary
/// imports do: the source label `label` with the format, an activity overlapping a stored one
/// skipped, every new record saved before this returns. Nothing is left half-stored: a record
/// that could not be saved is taken back. Logs failures of ZIP members as the ZIP import does;
/// the caller logs the rest. Runs on the thread that owns `store`.
WatchImportOutcome importWatchedFile(RideStore& store, const std::filesystem::path& file,
                                     const std::string& label, PersistentLogger& logger);

/// Whether the watcher reads a file of this name: an activity file or a ZIP archive.
bool isWatchedFileName(const std::string& fileName);

}  // namespace vantrel
