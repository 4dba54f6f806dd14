#include "analysis/MapCamera.h"

#include <algorithm>

#include "analysis/LocationOnly.h"
#include "model/PersistedRide.h"

namespace vantrel {

namespace {

constexpr double kCameraPadding = 1.3;
constexpr double kCameraMargin = 0.002;

}  // namespace

std::optional<MapCamera> initialCamera(const PersistedRide& ride,
                                       const std::vector<CodableCoordinate>& route) {
    if (isLocationOnly(ride, route.size()) && ride.mapCenterLat && ride.mapCenterLon &&
        ride.mapSpanLat && ride.mapSpanLon) {
        return MapCamera{
            {*ride.mapCenterLat, *ride.mapCenterLon}, *ride.mapSpanLat, *ride.mapSpanLon};
    }
    if (route.empty()) return std::nullopt;
    auto [south, north] =
        std::minmax_element(route.begin(), route.end(),
                            [](const auto& a, const auto& b) { return a.latitude < b.latitude; });
    auto [west, east] =
        std::minmax_element(route.begin(), route.end(),
                            [](const auto& a, const auto& b) { return a.longitude < b.longitude; });
    double height = north->latitude - south->latitude;
    double width = east->longitude - west->longitude;
    return MapCamera{
        {(south->latitude + north->latitude) / 2, (west->longitude + east->longitude) / 2},
        height * kCameraPadding + kCameraMargin,
        width * kCameraPadding + kCameraMargin};
}

}  // namespace vantrel
