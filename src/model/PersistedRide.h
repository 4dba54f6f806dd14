#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/ActivityType.h"
#include "model/Bytes.h"
#include "model/Date.h"
#include "model/RidePhoto.h"
#include "model/Samples.h"
#include "model/Uuid.h"

namespace vantrel {

struct WeatherSnapshot;

/// The stored activity record. Field order is the store's column order and is shared with the
/// recording devices; the defaults are those of a record created with nothing set. A stored
/// field added here belongs in `kRideFields` (RideFields.h) too.
///
/// Records live in a `RideStore`, which hands them out as `RideRef` (one object per stored
/// row): identity is the store's `objectID`, never `rideID`.
class PersistedRide {
  public:
    /// The store's persistent identifier; 0 until inserted and saved.
    std::int64_t objectID = 0;

    Uuid rideID = Uuid::random();
    Date date = now();
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
    double averagePower = 0;
    double maxPower = 0;
    double averageCadence = 0;
    std::optional<Bytes> powerData;
    /// Relationship order is insertion order.
    std::vector<RidePhoto> photos;
    std::optional<double> mapCenterLat;
    std::optional<double> mapCenterLon;
    std::optional<double> mapSpanLat;
    std::optional<double> mapSpanLon;
    std::optional<Date> trimmedAt;
    std::optional<Bytes> preTrimBackup;

    /// Decoded series; empty when the field is absent or does not decode. No caching.
    std::vector<RoutePoint> routePoints() const;
    std::vector<HeartRateSample> heartRateSamples() const;
    std::vector<PowerSample> powerSamples() const;
    /// An empty list, or one that cannot be encoded, makes the field absent.
    void setRoutePoints(const std::vector<RoutePoint>& points);
    void setHeartRateSamples(const std::vector<HeartRateSample>& samples);
    void setPowerSamples(const std::vector<PowerSample>& samples);

    /// The kind whose raw value equals `activityType` exactly; absent otherwise.
    std::optional<ActivityType> resolvedActivityType() const;
    /// `photos` by ascending `sortOrder`, stable.
    std::vector<RidePhoto> sortedPhotos() const;
    std::optional<WeatherSnapshot> startWeather() const;
    std::optional<WeatherSnapshot> endWeather() const;

    /// Field-by-field equality of the stored values (not identity).
    bool sameValues(const PersistedRide& other) const;
};

using RideRef = std::shared_ptr<PersistedRide>;

}  // namespace vantrel
