#include "export/RideArchiveExporter.h"

#include "export/ArchiveEncoder.h"

namespace vantrel::RideArchiveExporter {

ArchivedRide archivedRide(const PersistedRide& ride) {
    ArchivedRide archived;
    archived.rideID = ride.rideID;
    archived.date = ride.date;
    archived.duration = ride.duration;
    archived.distance = ride.distance;
    archived.elevationGain = ride.elevationGain;
    archived.averageHeartRate = ride.averageHeartRate;
    archived.maxHeartRate = ride.maxHeartRate;
    archived.calories = ride.calories;
    archived.activeTime = ride.activeTime;
    archived.routeData = ride.routeData;
    archived.heartRateData = ride.heartRateData;
    archived.healthKitUUID = ride.healthKitUUID;
    archived.activityType = ride.activityType;
    archived.importSource = ride.importSource;
    archived.deletedAt = ride.deletedAt;
    archived.stravaActivityId = ride.stravaActivityId;
    archived.startWeatherData = ride.startWeatherData;
    archived.endWeatherData = ride.endWeatherData;
    archived.city = ride.city;
    archived.startElevation = ride.startElevation;
    archived.notes = ride.notes;
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
