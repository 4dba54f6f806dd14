#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/BulkImportRun.h"
#include "import/ImportSummary.h"

namespace vantrel {

class RideStore;

struct PathImportResult {
    /// Activities stored (written by saves that succeeded).
    int imported = 0;
    /// Activities left out because the store already held them.
    int skipped = 0;
    /// Activities imported without a series that did not decode.
    int damagedSeries = 0;
    /// Files, archive members and archived activities that could not be imported.
    int failedCount = 0;
    /// (name, reason) of the first of them (at least five when there are that many).
    std::vector<std::pair<std::string, std::string>> failures;
    /// Set when imported activities could not be saved: they are not in the store.
    std::optional<std::string> saveError;

    ImportSummary summary() const;
};

/// Imports the files and folders that reach the application by its own ways in (opened,
/// dropped, chosen with "Import Files…", or arriving by themselves), each by its kind, and
/// leaves out what is already stored: activity files (GPX, TCX, FIT, each also gzip) and the
/// activity members of ZIP archives that overlap a stored activity (`isDuplicateActivity`, against
/// the store as it was when the files, or each archive, began), and archived activities whose
/// rideID is stored. Folders are searched for these kinds, in name order.
///
/// `sourceLabel` names where activity files and ZIP members came from ("Folder" gives the
/// source "Folder (FIT)"); without one, loose files carry their type alone and ZIP members
/// "ZIP Import". Never throws for bad input: whatever could not be imported is counted and
/// named with its reason, and logged. `options.progress` counts over all kinds. Runs on the
/// thread that owns `store`.
PathImportResult importPaths(RideStore& store, const std::vector<std::filesystem::path>& paths,
                             const BulkImportOptions& options,
                             const std::optional<std::string>& sourceLabel = std::nullopt);

}  // namespace vantrel
