#include "app/CoreFlows.h"

#include <stdexcept>

#include "export/RideArchiveExporter.h"
#include "model/RideStore.h"

namespace vantrel::CoreFlows {

namespace {

[[noreturn]] void unavailable(const std::string& what) {
    throw std::runtime_error(what + " is not available in this build.");
}

}  // namespace

std::pair<int, int> importArchiveFile(RideStore&, const std::filesystem::path&, const Progress&) {
    unavailable("Vantrel Format import");
}

BulkImportResult importZipArchives(RideStore&, const std::vector<std::filesystem::path>&,
                                   const std::string&, const Progress&) {
    unavailable("ZIP import");
}

GarminExport inspectGarminExport(const std::filesystem::path&) {
    unavailable("Garmin import");
}

BulkImportResult importGarminExport(RideStore&, const GarminExport&, bool, const Progress&) {
    unavailable("Garmin import");
}

std::string gpxText(const PersistedRide&) {
    unavailable("GPX export");
}

Bytes archiveBytes(const std::vector<RideRef>& rides) {
    return RideArchiveExporter::encodeArchive(RideArchiveExporter::buildArchive(rides));
}

LocatingResult locateActivities(RideStore&, bool, const Progress&, const CancellationTokenRef&) {
    unavailable("Locating");
}

std::optional<std::string> locateActivity(RideStore&, const RideRef&) {
    unavailable("Locating");
}

}  // namespace vantrel::CoreFlows
