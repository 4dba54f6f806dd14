#include "import/ZipImportService.h"

#include "logging/PersistentLogger.h"

namespace vantrel {

BulkImportResult importZipArchives(RideStore& store,
                                   const std::vector<std::filesystem::path>& archives,
                                   const std::string& sourceLabel,
                                   const BulkImportOptions& options) {
    BulkImportRun run(store, sourceLabel, options);
    for (const auto& archive : archives) {
        run.importArchive(archive, BulkImportRun::skipDuplicates);
    }
    BulkImportResult result = run.finish();
    if (logFailedSave(run.logger(), sourceLabel + " import", result)) return result;
    run.logger().log(LogLevel::info, "Import",
                     sourceLabel + " import: " + std::to_string(result.imported) + " imported, " +
                         std::to_string(result.skipped) + " skipped, " +
                         std::to_string(result.errors) + " errors");
    return result;
}

}  // namespace vantrel
