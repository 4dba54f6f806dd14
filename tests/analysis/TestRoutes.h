#pragma once

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <vector>

#include "model/Samples.h"

namespace vantrel::test {

inline constexpr Date kRideStart = 700'000'000;
inline constexpr CodableCoordinate kRouteOrigin{47.3769, 8.5417};

/// The point `metres` due north of the route origin along the ellipsoid.
inline CodableCoordinate northOfOrigin(double metres) {
    CodableCoordinate result;
    GeographicLib::Geodesic::WGS84().Direct(kRouteOrigin.latitude, kRouteOrigin.longitude, 0.0,
                                            metres, result.latitude, result.longitude);
    return result;
}

inline RoutePoint pointAt(double metresNorth, Date time, double altitude = 0) {
    return {Uuid::random(), northOfOrigin(metresNorth), altitude, time};
}

/// `count` points heading north, `secondsApart` and `metresApart` from one another.
inline std::vector<RoutePoint> steadyRoute(int count, double secondsApart, double metresApart,
                                           Date start = kRideStart) {
    std::vector<RoutePoint> route;
    route.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        route.push_back(pointAt(i * metresApart, start + i * secondsApart));
    return route;
}

inline HeartRateSample heartRateAt(Date time, double bpm) {
    return {Uuid::random(), time, bpm};
}

inline std::vector<HeartRateSample> heartRateEvery(const std::vector<RoutePoint>& route,
                                                   double bpm) {
    std::vector<HeartRateSample> samples;
    samples.reserve(route.size());
    for (const auto& point : route) samples.push_back(heartRateAt(point.timestamp, bpm));
    return samples;
}

}  // namespace vantrel::test
