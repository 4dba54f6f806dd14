#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logging/PersistentLogger.h"
#include "model/RideStore.h"

namespace vantrel {

struct ArchiveImportFailure {
    /// The file's last path component.
    std::string fileName;
    std::string description;
};

struct ArchiveImportResult {
    int imported = 0;
    int skipped = 0;
    /// Activities in all files that decoded.
    int total = 0;
    std::vector<ArchiveImportFailure> failures;
    /// Set when activities of the run were left unsaved at its end; the run did not succeed.
    std::optional<std::string> saveError;
    /// Activities of the run written by saves that succeeded (all imported ones, unless the
    /// run ended with `saveError`).
    int saved = 0;
    /// Imported activities that came without a series whose text was not valid Base64.
    int damagedSeries = 0;
};

/// "N activities were stored before the failure." (singular for 1).
std::string storedBeforeFailureText(int saved);

/// Imports archive files in the given order, each read twice as a stream (once to check it
/// whole, once to import it) so that memory holds one activity at a time. A file that cannot be
/// read or decoded adds nothing; a failed save ends that file's import with what it inserted
/// before staying pending, and an activity the store refuses, or one with a byte field larger
/// than 256 MB, is left out with a failure naming its file. Each failure is recorded and
/// logged, and the next file is still imported. An activity whose route or heart-rate text is
/// not valid Base64 is imported without that series, with a WARN line naming it, and counted in
/// `damagedSeries`. At the end whatever is still pending is saved once more: the "Import" totals
/// are logged when that succeeds, an ERROR and `saveError` when it does not.
/// `progress(done, total)` runs before each activity, over all files so far. Runs on the thread
/// that owns `store`.
ArchiveImportResult importArchiveFiles(
    RideStore& store, const std::vector<std::filesystem::path>& files, PersistentLogger& logger,
    const std::function<void(int done, int total)>& progress = {});

}  // namespace vantrel
