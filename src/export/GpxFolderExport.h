#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "logging/PersistentLogger.h"
#include "model/Cancellation.h"
#include "model/RideStore.h"

namespace vantrel {

struct GpxFolderExportResult {
    /// chosen/VantrelExport/activities.
    std::filesystem::path folder;
    int written = 0;
    /// Activities whose file could not be written; the export goes on without them.
    int failed = 0;
    /// The reason of the first failed write.
    std::string firstFailure;
    bool cancelled = false;
};

/// Writes one GPX file per activity into chosen/VantrelExport/activities (created when
/// missing), named by the start's local "yyyyMMddHHmm", then _2, _3, … when taken. The records
/// may be fetched without details: each one's series are read when its turn comes and released
/// after, so memory stays bounded. Stops before the next activity once `cancellation` is set.
/// `progress(done, total)` follows each activity. Logs the "Export" line at the end, after an
/// ERROR line with the number of files that could not be written and the first reason. Runs on
/// the thread that owns `store`.
GpxFolderExportResult exportGpxToFolder(
    RideStore& store, std::vector<RideRef> rides, const std::filesystem::path& chosenFolder,
    PersistentLogger& logger, const std::function<void(int done, int total)>& progress = {},
    const CancellationToken* cancellation = nullptr);

/// Writes the GPX document of one activity to `file`, replacing it. Throws `FileAccessError`.
void exportGpxFile(RideStore& store, const RideRef& ride, const std::filesystem::path& file);

}  // namespace vantrel
