#include "archive/RideArchiveExporter.h"

#include "archive/ArchiveEncoder.h"
#include "archive/ArchiveField.h"

namespace vantrel::RideArchiveExporter {

ArchivedRide archivedRide(const PersistedRide& ride) {
    ArchivedRide archived;
    for (const ArchiveField& field : archiveFields()) field.archive(ride, archived);
    return archived;
}

Archive buildArchive(const std::vector<RideRef>& rides) {
    Archive archive;
    archive.exportDate = now();
    archive.rides.reserve(rides.size());
    for (const auto& ride : rides) archive.rides.push_back(archivedRide(*ride));
    return archive;
}

Bytes encodeArchive(const Archive& archive, std::vector<std::string>* skipped) {
    Bytes document;
    ArchiveEncoder encoder(
        [&](std::string_view piece) {
            document.insert(document.end(), piece.begin(), piece.end());
        },
        archive.exportDate, archive.appName, archive.version);
    for (const auto& ride : archive.rides) encoder.add(ride);
    encoder.finish();
    if (skipped)
        skipped->insert(skipped->end(), encoder.skipped().begin(), encoder.skipped().end());
    return document;
}

}  // namespace vantrel::RideArchiveExporter
