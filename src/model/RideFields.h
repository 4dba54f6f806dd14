#pragma once

#include <algorithm>
#include <array>

#include "model/PersistedRide.h"
#include "model/RecordField.h"
#include "model/RidePhoto.h"

namespace vantrel {

/// The stored fields of a record, in declaration order, which is the store's column order.
/// The store's columns, `PersistedRide::sameValues` and `vantrel-cli show` go through this list;
/// a field added to `PersistedRide` belongs here too (a test compares the list with the
/// class's layout).
inline constexpr auto kRideFields = std::to_array<RecordField<PersistedRide>>({
    {"rideID", FieldKind::identifier, &PersistedRide::rideID},
    {"date", FieldKind::date, &PersistedRide::date},
    {"duration", FieldKind::number, &PersistedRide::duration},
    {"distance", FieldKind::number, &PersistedRide::distance},
    {"elevationGain", FieldKind::number, &PersistedRide::elevationGain},
    {"averageHeartRate", FieldKind::number, &PersistedRide::averageHeartRate},
    {"maxHeartRate", FieldKind::number, &PersistedRide::maxHeartRate},
    {"calories", FieldKind::number, &PersistedRide::calories},
    {"activeTime", FieldKind::number, &PersistedRide::activeTime},
    {"routeData", FieldKind::bytes, &PersistedRide::routeData},
    {"heartRateData", FieldKind::bytes, &PersistedRide::heartRateData},
    {"healthKitUUID", FieldKind::identifier, &PersistedRide::healthKitUUID},
    {"activityType", FieldKind::text, &PersistedRide::activityType},
    {"importSource", FieldKind::text, &PersistedRide::importSource},
    {"deletedAt", FieldKind::date, &PersistedRide::deletedAt},
    {"stravaActivityId", FieldKind::text, &PersistedRide::stravaActivityId},
    {"startWeatherData", FieldKind::bytes, &PersistedRide::startWeatherData},
    {"endWeatherData", FieldKind::bytes, &PersistedRide::endWeatherData},
    {"city", FieldKind::text, &PersistedRide::city},
    {"startElevation", FieldKind::number, &PersistedRide::startElevation},
    {"notes", FieldKind::text, &PersistedRide::notes},
    {"averagePower", FieldKind::number, &PersistedRide::averagePower},
    {"maxPower", FieldKind::number, &PersistedRide::maxPower},
    {"averageCadence", FieldKind::number, &PersistedRide::averageCadence},
    {"powerData", FieldKind::bytes, &PersistedRide::powerData},
    {"mapCenterLat", FieldKind::number, &PersistedRide::mapCenterLat},
    {"mapCenterLon", FieldKind::number, &PersistedRide::mapCenterLon},
    {"mapSpanLat", FieldKind::number, &PersistedRide::mapSpanLat},
    {"mapSpanLon", FieldKind::number, &PersistedRide::mapSpanLon},
    {"trimmedAt", FieldKind::date, &PersistedRide::trimmedAt},
    {"preTrimBackup", FieldKind::bytes, &PersistedRide::preTrimBackup},
});

/// The stored fields of a photo, in declaration order (the store's column order).
inline constexpr auto kPhotoFields = std::to_array<RecordField<RidePhoto>>({
    {"photoID", FieldKind::identifier, &RidePhoto::photoID},
    {"imageData", FieldKind::bytes, &RidePhoto::imageData},
    {"thumbnailData", FieldKind::bytes, &RidePhoto::thumbnailData},
    {"caption", FieldKind::text, &RidePhoto::caption},
    {"captureDate", FieldKind::date, &RidePhoto::captureDate},
    {"latitude", FieldKind::number, &RidePhoto::latitude},
    {"longitude", FieldKind::number, &RidePhoto::longitude},
    {"sortOrder", FieldKind::integer, &RidePhoto::sortOrder},
});

static_assert(std::all_of(kRideFields.begin(), kRideFields.end(),
                          [](const auto& field) { return field.kindFitsMember(); }));
static_assert(std::all_of(kPhotoFields.begin(), kPhotoFields.end(),
                          [](const auto& field) { return field.kindFitsMember(); }));

}  // namespace vantrel
