#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Bytes.h"
#include "model/Date.h"
#include "model/PersistedRide.h"
#include "model/Uuid.h"

/// The "Vantrel Format" archive: what it holds and how it is written. The reading side is
/// RideArchiveImporter.
namespace vantrel::RideArchiveExporter {

/// One activity as the archive carries it. The byte fields hold the record's stored bytes (the
/// series possibly packed); they become Base64 text only in the document.
struct ArchivedRide {
    Uuid rideID;
    Date date = 0;
    double duration = 0;
    double distance = 0;
    double elevationGain = 0;
    double averageHeartRate = 0;
    double maxHeartRate = 0;
    double calories = 0;
    double activeTime = 0;
    std::optional<Bytes> routeData;
    std::optional<Bytes> heartRateData;
    std::optional<Uuid> healthKitUUID;
    std::optional<std::string> activityType;
    std::optional<std::string> importSource;
    std::optional<Date> deletedAt;
    std::optional<std::string> stravaActivityId;
    std::optional<Bytes> startWeatherData;
    std::optional<Bytes> endWeatherData;
    std::optional<std::string> city;
    std::optional<double> startElevation;
    std::optional<std::string> notes;
    // Power and cadence travel only when the activity has them, so that an activity without
    // them is written exactly as before and older readers, which skip unknown keys, still read it.
    std::optional<double> averagePower;
    std::optional<double> maxPower;
    std::optional<double> averageCadence;
    std::optional<Bytes> powerData;

    friend bool operator==(const ArchivedRide&, const ArchivedRide&) = default;
};

struct Archive {
    std::int64_t version = 1;
    Date exportDate = 0;
    std::string appName = "Vantrel";
    std::vector<ArchivedRide> rides;

    friend bool operator==(const Archive&, const Archive&) = default;
};

/// The carried fields of one record; its byte fields are copied as stored.
ArchivedRide archivedRide(const PersistedRide& ride);
/// Version 1, `exportDate` now, one entry per record in the given order.
Archive buildArchive(const std::vector<RideRef>& rides);
/// The document: sorted keys, no whitespace, whole-second UTC dates, absent optionals left out.
/// A ride whose date cannot be written is left out; its reason is added to `skipped` when given.
/// Throws `ArchiveError::invalidNumber` when a number is not finite.
Bytes encodeArchive(const Archive& archive, std::vector<std::string>* skipped = nullptr);

}  // namespace vantrel::RideArchiveExporter
