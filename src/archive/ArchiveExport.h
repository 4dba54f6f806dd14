#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logging/PersistentLogger.h"
#include "model/Cancellation.h"
#include "model/RideStore.h"

namespace vantrel {

struct ArchiveExportResult {
    /// Activities in the files that were written.
    int exported = 0;
    int filesWritten = 0;
    std::uint64_t bytes = 0;
    bool cancelled = false;
    /// The description of the encoding or writing error that ended the export.
    std::optional<std::string> failure;
    /// One error naming each activity left out because its date cannot be written; the rest
    /// of its file was still written (a file of only such activities is not written at all).
    std::vector<std::string> skipped;
    /// The year files by what the export did to them: written over an older file of the same
    /// name, written where there was none, and (after a failure or a cancellation) not written,
    /// the folder keeping an older file, or not written with no file there.
    struct YearFiles {
        std::vector<std::string> replaced;
        std::vector<std::string> created;
        std::vector<std::string> olderKept;
        std::vector<std::string> missing;
    } yearFiles;

    bool succeeded() const { return !failure && !cancelled; }
};

/// What an export of year files that ended early did to the folder, e.g. "Replaced:
/// Vantrel_2024.json. Older, not replaced: Vantrel_2023.json."; groups without files are left
/// out.
std::string yearFilesText(const ArchiveExportResult::YearFiles& files);

/// Writes the activities, in the given order, as one archive to `file`, replacing it only when
/// the whole archive was written. The records may be fetched without details: each one's stored
/// bytes are read in turn and released after. Logs the "Export" outcome or failure, and each
/// activity left out because its date cannot be written.
/// `progress(done, total)` follows each activity. Runs on the thread that owns `store`.
ArchiveExportResult exportArchiveToFile(
    RideStore& store, std::vector<RideRef> rides, const std::filesystem::path& file,
    PersistentLogger& logger, const std::function<void(int done, int total)>& progress = {},
    const CancellationToken* cancellation = nullptr);

/// One "Vantrel_YYYY.json" per year of the year summaries (newest first) into `folder`, with
/// the year's live activities newest first; a year without activities gets no file. An error
/// ends the export at that year; files already written stay, and the failure's log line says
/// which files were replaced and which older ones were left. Logs the "Export" outcome.
/// `progress(done, total)` counts activities over all years.
ArchiveExportResult exportArchiveYearFiles(
    RideStore& store, const std::filesystem::path& folder, PersistentLogger& logger,
    const std::function<void(int done, int total)>& progress = {},
    const CancellationToken* cancellation = nullptr);

}  // namespace vantrel
