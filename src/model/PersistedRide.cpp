#include "model/PersistedRide.h"

#include <algorithm>

#include "model/SeriesCodec.h"
#include "model/WeatherSnapshot.h"

namespace vantrel {

namespace {

bool samePhotoValues(const RidePhoto& a, const RidePhoto& b) {
    RidePhoto left = a;
    left.objectID = b.objectID;
    return left == b;
}

bool samePhotos(const std::vector<RidePhoto>& a, const std::vector<RidePhoto>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), samePhotoValues);
}

}  // namespace

std::vector<RoutePoint> PersistedRide::routePoints() const {
    return decodeRoutePoints(routeData).value_or(std::vector<RoutePoint>{});
}

std::vector<HeartRateSample> PersistedRide::heartRateSamples() const {
    return decodeHeartRateSamples(heartRateData).value_or(std::vector<HeartRateSample>{});
}

std::vector<PowerSample> PersistedRide::powerSamples() const {
    return decodePowerSamples(powerData).value_or(std::vector<PowerSample>{});
}

void PersistedRide::setRoutePoints(const std::vector<RoutePoint>& points) {
    routeData = packSeries(points);
}

void PersistedRide::setHeartRateSamples(const std::vector<HeartRateSample>& samples) {
    heartRateData = packSeries(samples);
}

void PersistedRide::setPowerSamples(const std::vector<PowerSample>& samples) {
    powerData = packSeries(samples);
}

std::optional<ActivityType> PersistedRide::resolvedActivityType() const {
    if (!activityType) return std::nullopt;
    return activityTypeFromRawValue(*activityType);
}

std::vector<RidePhoto> PersistedRide::sortedPhotos() const {
    std::vector<RidePhoto> sorted = photos;
    std::stable_sort(sorted.begin(), sorted.end(), [](const RidePhoto& a, const RidePhoto& b) {
        return a.sortOrder < b.sortOrder;
    });
    return sorted;
}

std::optional<WeatherSnapshot> PersistedRide::startWeather() const {
    return decodeWeather(startWeatherData);
}

std::optional<WeatherSnapshot> PersistedRide::endWeather() const {
    return decodeWeather(endWeatherData);
}

bool PersistedRide::sameValues(const PersistedRide& other) const {
    auto fields = [](const PersistedRide& r) {
        return std::tie(r.rideID, r.date, r.duration, r.distance, r.elevationGain,
                        r.averageHeartRate, r.maxHeartRate, r.calories, r.activeTime, r.routeData,
                        r.heartRateData, r.healthKitUUID, r.activityType, r.importSource,
                        r.deletedAt, r.stravaActivityId, r.startWeatherData, r.endWeatherData,
                        r.city, r.startElevation, r.notes, r.averagePower, r.maxPower,
                        r.averageCadence, r.powerData, r.mapCenterLat, r.mapCenterLon, r.mapSpanLat,
                        r.mapSpanLon, r.trimmedAt, r.preTrimBackup);
    };
    return fields(*this) == fields(other) && samePhotos(photos, other.photos);
}

}  // namespace vantrel
