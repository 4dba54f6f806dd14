#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/Bytes.h"
#include "model/Cancellation.h"
#include "model/PersistedRide.h"

namespace vantrel {

class RideStore;

/// The window's glue to the core flows of the other subsystems: one function per command, each
/// running on whatever store connection it is handed (the caller's worker thread opens its own).
/// A flow that the core of this build does not offer throws `std::runtime_error` saying so.
namespace CoreFlows {

using Progress = std::function<void(int current, int total)>;

struct BulkImportResult {
    int imported = 0;
    int skipped = 0;
    int errors = 0;
};

/// Reads and imports one "Vantrel Format" file; throws the decoder's error for a bad file.
std::pair<int, int> importArchiveFile(RideStore& store, const std::filesystem::path& file,
                                      const Progress& progress);
BulkImportResult importZipArchives(RideStore& store,
                                   const std::vector<std::filesystem::path>& archives,
                                   const std::string& sourceLabel, const Progress& progress);

struct GarminExport {
    std::optional<std::filesystem::path> fitnessFolder;
    std::optional<std::filesystem::path> uploadsFolder;
    std::vector<std::filesystem::path> archives;
    int summaryCount = 0;
};
GarminExport inspectGarminExport(const std::filesystem::path& folder);
BulkImportResult importGarminExport(RideStore& store, const GarminExport& garmin,
                                    bool replaceExisting, const Progress& progress);

/// The GPX document of one record (with its series loaded).
std::string gpxText(const PersistedRide& ride);
/// The "Vantrel Format" document of the records; throws when a number cannot be encoded.
Bytes archiveBytes(const std::vector<RideRef>& rides);

struct LocatingResult {
    int processed = 0;
};
/// Names the activities' locations one by one, newest first, stopping before the next
/// activity once `cancel` is set. `progress(current, total)` comes before each activity.
LocatingResult locateActivities(RideStore& store, bool replaceExisting, const Progress& progress,
                                const CancellationTokenRef& cancel);
/// The place name found for one activity, if any; sets and saves it.
std::optional<std::string> locateActivity(RideStore& store, const RideRef& ride);

}  // namespace CoreFlows

}  // namespace vantrel
