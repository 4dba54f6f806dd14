#pragma once

#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "import/BulkImportRun.h"

namespace vantrel {

class RideStore;

/// Files handed to the application from outside (its command line, a second instance, a drop),
/// sorted by the import flow that reads them. Folders are searched for these kinds too.
struct OpenedFiles {
    std::vector<std::filesystem::path> activityFiles;  ///< GPX, TCX, FIT, each also gzip
    std::vector<std::filesystem::path> zipArchives;
    std::vector<std::filesystem::path> archives;  ///< Vantrel Format JSON
    /// "name: description" for each named file that no flow reads or that does not exist.
    std::vector<std::string> refused;

    /// Sorts `paths` by extension (in any case). Files inside folders that no flow reads are
    /// passed over without a word; a named file is refused with the importer's own text.
    static OpenedFiles classify(const QStringList& paths);
    bool empty() const { return activityFiles.empty() && zipArchives.empty() && archives.empty(); }
};

/// The live records an import added: store identifiers with the calendar year of each.
struct NewRecords {
    std::vector<std::int64_t> objectIDs;
    std::vector<int> years;
};

/// The identifiers of every stored record, taken before an import to tell what it adds.
std::set<std::int64_t> storedObjectIDs(RideStore& store);
NewRecords newRecordsSince(RideStore& store, const std::set<std::int64_t>& before);

/// The outcome of `importOpenedFiles`: the counters over every flow, the failures as
/// "name: description", and the new records.
struct OpenedImportResult {
    int imported = 0;
    int skipped = 0;
    std::vector<std::string> failures;
    NewRecords added;
};

/// Imports what `classify` found: loose activity files without a source label (no duplicate
/// test, as "Import from Strava…" treats loose files), ZIP archives as "Import from ZIP…" does,
/// then archives. `options.progress` counts over all three. Runs on the thread owning `store`.
OpenedImportResult importOpenedFiles(RideStore& store, const QStringList& paths,
                                     const BulkImportOptions& options);

}  // namespace vantrel
