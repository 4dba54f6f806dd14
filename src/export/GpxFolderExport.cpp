#include "export/GpxFolderExport.h"

#include "export/AtomicFileWriter.h"
#include "export/ExportFileNames.h"
#include "export/FileAccessError.h"
#include "export/GPXWriter.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

namespace {

std::filesystem::path freeFileName(const std::filesystem::path& folder, const std::string& base) {
    std::error_code ignored;
    auto taken = [&](const std::filesystem::path& file) {
        return std::filesystem::exists(std::filesystem::symlink_status(file, ignored));
    };
    std::filesystem::path file = folder / (base + ".gpx");
    for (int suffix = 2; taken(file); ++suffix) {
        file = folder / (base + "_" + std::to_string(suffix) + ".gpx");
    }
    return file;
}

}  // namespace

GpxFolderExportResult exportGpxToFolder(RideStore& store, std::vector<RideRef> rides,
                                        const std::filesystem::path& chosenFolder,
                                        PersistentLogger& logger,
                                        const std::function<void(int done, int total)>& progress,
                                        const CancellationToken* cancellation) {
    GpxFolderExportResult result;
    result.folder = chosenFolder / "VantrelExport" / "activities";
    std::error_code ignored;
    std::filesystem::create_directories(result.folder, ignored);
    const int total = static_cast<int>(rides.size());
    for (int i = 0; i < total; ++i) {
        if (cancellation && cancellation->isCancelled()) {
            result.cancelled = true;
            break;
        }
        RideRef& ride = rides[static_cast<std::size_t>(i)];
        store.loadDetails(ride);
        std::string document = buildGPX(*ride);
        std::string base = gpxBaseName(ride->date);
        ride.reset();
        try {
            writeFileAtomically(freeFileName(result.folder, base), document);
            ++result.written;
        } catch (const FileAccessError& error) {
            if (result.failed++ == 0) result.firstFailure = error.what();
        }
        if (progress) progress(i + 1, total);
    }
    if (result.failed > 0) {
        logger.log(LogLevel::error, "Export",
                   "GPX export could not write " + std::to_string(result.failed) +
                       " ride(s): " + result.firstFailure);
    }
    logger.log(LogLevel::info, "Export",
               "Exported " + std::to_string(result.written) +
                   " ride(s) as GPX to VantrelExport/activities");
    return result;
}

void exportGpxFile(RideStore& store, const RideRef& ride, const std::filesystem::path& file) {
    store.loadDetails(ride);
    writeFileAtomically(file, buildGPX(*ride));
}

}  // namespace vantrel
