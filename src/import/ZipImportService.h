#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "import/BulkImportRun.h"

namespace vantrel {

class RideStore;

/// The ZIP import run: every activity member of every archive, in order, through the file
/// pipeline with `sourceLabel`; records overlapping a stored one are skipped. Saves after every
/// 50th insertion and at the end, and logs "<label> import: N imported, M skipped, K errors".
/// Must be called on the thread that owns the store. Never throws for bad archives or members:
/// they are counted (see `BulkImportResult`).
BulkImportResult importZipArchives(RideStore& store,
                                   const std::vector<std::filesystem::path>& archives,
                                   const std::string& sourceLabel,
                                   const BulkImportOptions& options);

}  // namespace vantrel
