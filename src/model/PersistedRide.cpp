#include "model/PersistedRide.h"

#include <algorithm>

#include "model/RideFields.h"
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
    return std::all_of(kRideFields.begin(), kRideFields.end(),
                       [&](const auto& field) { return field.same(*this, other); }) &&
           samePhotos(photos, other.photos);
}

}  // namespace vantrel
