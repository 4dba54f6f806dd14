#pragma once

#include <optional>
#include <vector>

#include "model/Date.h"
#include "model/Samples.h"

namespace vantrel {

/// Where the athlete was at each route point, for the map marker that follows the scrubber.
struct RideRetraceData {
    struct Waypoint {
        CodableCoordinate coordinate;
        /// Minutes from the activity's start; negative for a point recorded before it.
        double elapsedMinutes = 0;
        double cumulativeMeters = 0;
        /// The reading nearest in time, when one lies within 30 seconds.
        std::optional<double> heartRate;
        double altitude = 0;
        friend bool operator==(const Waypoint&, const Waypoint&) = default;
    };

    std::vector<Waypoint> waypoints;
    /// `elapsedMinutes` of the last waypoint; 0 without waypoints.
    double totalMinutes = 0;

    /// One waypoint per route point, in route order. The heart-rate samples need not be sorted.
    static RideRetraceData build(const std::vector<RoutePoint>& route,
                                 const std::vector<HeartRateSample>& heartRate, Date reference);

    /// The interpolated waypoint at a scrubber progress (clamped to 0…1) on a time axis of
    /// `axisMinutes`; absent without waypoints. Heart rate is never interpolated.
    std::optional<Waypoint> waypointAt(double progress, double axisMinutes) const;
};

}  // namespace vantrel
