#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "import/BulkImportRun.h"
#include "import/GarminActivity.h"
#include "model/ActivityType.h"

namespace vantrel {

class RideStore;

/// The two folders of a Garmin account export that the import uses.
struct GarminFolders {
    /// chosen/DI_CONNECT/DI-Connect-Fitness, when something exists there.
    std::optional<std::filesystem::path> fitnessFolder;
    /// chosen/DI_CONNECT/DI-Connect-Uploaded-Files, when something exists there.
    std::optional<std::filesystem::path> uploadsFolder;
};

inline constexpr const char* kGarminNotFoundTitle = "Garmin Data Not Found";
inline constexpr const char* kGarminNotFoundText =
    "Could not find DI_CONNECT/DI-Connect-Uploaded-Files in the selected folder. Make sure you "
    "selected the top-level Garmin export folder.";
inline constexpr const char* kGarminNoArchivesTitle = "No Activity Files Found";
inline constexpr const char* kGarminNoArchivesText =
    "No ZIP files found in DI-Connect-Uploaded-Files.";
inline constexpr const char* kGarminConfirmationTitle = "Garmin Import";
inline constexpr const char* kGarminReplaceOptionTitle = "Replace existing activities";

GarminFolders locateGarminFolders(const std::filesystem::path& chosenFolder);

/// The folder's direct entries with the extension "zip" (any case), by file name in plain byte
/// order; empty when the folder cannot be listed.
std::vector<std::filesystem::path> listGarminArchives(const std::filesystem::path& uploadsFolder);

/// Every summary of the folder's "*summarizedActivities*.json" files (by file name), in file and
/// array order. Files that cannot be read or are not of the expected shape are skipped whole.
std::vector<GarminActivity> loadGarminActivities(const std::filesystem::path& fitnessFolder);

/// The activity kind for a Garmin type key such as "trail_running"; `other` when unknown.
ActivityType garminActivityType(const std::optional<std::string>& typeKey);

/// "Found N ZIP files with activity data. Also found M activity records …\n\nImport now?"
std::string garminConfirmationText(std::size_t archiveCount, std::size_t summaryCount);

/// The Garmin run: the archive loop with the label "Garmin"; each new record takes its missing
/// kind, heart rates, calories and elevation gain from the first summary starting less than
/// 300 s away. A duplicate is skipped, or with `replace` every stored record it overlaps is
/// deleted and it is inserted. Logs "Garmin import: N imported (S supplemented from JSON), …".
BulkImportResult importGarminExport(RideStore& store,
                                    const std::vector<std::filesystem::path>& archives,
                                    const std::vector<GarminActivity>& summaries, bool replace,
                                    const BulkImportOptions& options);

/// Fills what `ride` lacks from `summary`; returns whether the kind was taken from it.
bool supplementFromSummary(PersistedRide& ride, const GarminActivity& summary);

}  // namespace vantrel
