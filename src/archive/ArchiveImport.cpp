#include "archive/ArchiveImport.h"

#include "archive/RideArchiveImporter.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

namespace {

void recordFailure(PersistentLogger& logger, const std::filesystem::path& file,
                   const std::string& description, ArchiveImportResult& result) {
    std::string name = file.filename().string();
    result.failures.push_back({name, description});
    logger.log(LogLevel::error, "Import", "Archive import failed for " + name + ": " + description);
}

void importFile(RideStore& store, const std::filesystem::path& file,
                const std::function<void(int, int)>& progress, PersistentLogger& logger,
                ArchiveImportResult& result) {
    auto archive = RideArchiveImporter::decodeArchive(RideArchiveImporter::readArchiveFile(file));
    result.total += static_cast<int>(archive.rides.size());
    const int before = result.imported + result.skipped;
    auto counts =
        RideArchiveImporter::importArchive(std::move(archive), store, [&](int position, int) {
            if (progress) progress(before + position, result.total);
        });
    result.imported += counts.imported;
    result.skipped += counts.skipped;
    for (const auto& unsaved : counts.unsaved) {
        recordFailure(
            logger, file,
            "activity " + unsaved.rideID.toString() + " could not be saved: " + unsaved.reason,
            result);
    }
}

// Saves of the files may have failed as a whole (a locked or full disk); what they left pending
// gets one more chance, and a run that ends with unsaved activities has failed.
void saveRemaining(RideStore& store, ArchiveImportResult& result) {
    try {
        if (store.hasChanges()) store.save();
    } catch (const std::exception& error) {
        result.saveError = error.what();
    }
}

void logOutcome(PersistentLogger& logger, const ArchiveImportResult& result) {
    if (result.saveError) {
        logger.log(LogLevel::error, "Import",
                   "Archive import could not save the imported activities: " + *result.saveError);
        return;
    }
    logger.log(LogLevel::info, "Import",
               "Archive import: " + std::to_string(result.imported) + " imported, " +
                   std::to_string(result.skipped) + " skipped");
}

}  // namespace

ArchiveImportResult importArchiveFiles(RideStore& store,
                                       const std::vector<std::filesystem::path>& files,
                                       const std::function<void(int done, int total)>& progress,
                                       PersistentLogger& logger) {
    ArchiveImportResult result;
    for (const auto& file : files) {
        try {
            importFile(store, file, progress, logger, result);
        } catch (const std::exception& error) {
            recordFailure(logger, file, error.what(), result);
        }
    }
    saveRemaining(store, result);
    logOutcome(logger, result);
    return result;
}

}  // namespace vantrel
