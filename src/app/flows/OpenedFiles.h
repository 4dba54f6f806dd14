#pragma once

#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <set>
#include <vector>

#include "archive/PathImport.h"
#include "import/BulkImportRun.h"

namespace vantrel {

class RideStore;

/// The live records an import added: store identifiers with the calendar year of each.
struct NewRecords {
    std::vector<std::int64_t> objectIDs;
    std::vector<int> years;
};

/// The identifiers of every stored record, taken before an import to tell what it adds.
std::set<std::int64_t> storedObjectIDs(RideStore& store);
NewRecords newRecordsSince(RideStore& store, const std::set<std::int64_t>& before);

/// The outcome of `importOpenedFiles`: the import's counts and failures, and the new records.
struct OpenedImportResult {
    PathImportResult result;
    NewRecords added;
};

/// Imports files and folders handed over from outside (the command line, another instance, a
/// drop, "Import Files…") with `importPaths`, duplicates left out. Arguments may be paths or
/// "file:" URLs. Runs on the thread owning `store`.
OpenedImportResult importOpenedFiles(RideStore& store, const QStringList& paths,
                                     const BulkImportOptions& options);

}  // namespace vantrel
