#include "export/ArchiveImport.h"

#include "export/RideArchiveImporter.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

namespace {

void importFile(RideStore& store, const std::filesystem::path& file,
                const std::function<void(int, int)>& progress, ArchiveImportResult& result) {
    auto archive = RideArchiveImporter::decodeArchive(RideArchiveImporter::readArchiveFile(file));
    result.total += static_cast<int>(archive.rides.size());
    const int before = result.imported + result.skipped;
    auto counts =
        RideArchiveImporter::importArchive(std::move(archive), store, [&](int position, int) {
            if (progress) progress(before + position, result.total);
        });
    result.imported += counts.imported;
    result.skipped += counts.skipped;
}

void recordFailure(const std::filesystem::path& file, const std::string& description,
                   ArchiveImportResult& result) {
    std::string name = file.filename().string();
    result.failures.push_back({name, description});
    PersistentLogger::shared().log(LogLevel::error, "Import",
                                   "Archive import failed for " + name + ": " + description);
}

}  // namespace

ArchiveImportResult importArchiveFiles(RideStore& store,
                                       const std::vector<std::filesystem::path>& files,
                                       const std::function<void(int done, int total)>& progress) {
    ArchiveImportResult result;
    for (const auto& file : files) {
        try {
            importFile(store, file, progress, result);
        } catch (const std::exception& error) {
            recordFailure(file, error.what(), result);
        }
    }
    PersistentLogger::shared().log(LogLevel::info, "Import",
                                   "Archive import: " + std::to_string(result.imported) +
                                       " imported, " + std::to_string(result.skipped) + " skipped");
    return result;
}

}  // namespace vantrel
