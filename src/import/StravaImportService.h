#pragma once

#include <filesystem>
#include <vector>

#include "import/BulkImportRun.h"

namespace vantrel {

class RideStore;

/// The Strava command: with no ".zip" among `files`, the loose-file import of all of them
/// (no duplicate test, failures listed in `fileFailures`); otherwise the ZIP import run over
/// only the ZIP files, in the given order. Both use the label "Strava".
BulkImportResult importStravaFiles(RideStore& store,
                                   const std::vector<std::filesystem::path>& files,
                                   const BulkImportOptions& options);

/// The files the Strava command hands to the ZIP run: those whose extension is "zip" in any case.
std::vector<std::filesystem::path> zipFilesAmong(const std::vector<std::filesystem::path>& files);

}  // namespace vantrel
