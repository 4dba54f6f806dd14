#include "analysis/RideDetail.h"

#include "analysis/RideAnalysis.h"

namespace vantrel {

namespace {

std::vector<CodableCoordinate> coordinatesOf(const std::vector<RoutePoint>& route) {
    std::vector<CodableCoordinate> coordinates;
    coordinates.reserve(route.size());
    for (const auto& point : route) coordinates.push_back(point.coordinate);
    return coordinates;
}

/// Cuts pauses out of the route and heart rate. Activities that came with a Strava id keep
/// every heart-rate reading, moved to the nearer edge of its pause.
void removePauses(const PersistedRide& ride, const std::vector<RoutePoint>& route,
                  RideDetail& detail) {
    detail.segments = RideAnalysis::activeSegments(route);
    detail.routePoints = RideAnalysis::removePauses(route, detail.segments, ride.date);
    detail.heartRateSamples =
        ride.stravaActivityId
            ? RideAnalysis::removePausesSnapping(detail.heartRateSamples, detail.segments,
                                                 ride.date)
            : RideAnalysis::removePauses(detail.heartRateSamples, detail.segments, ride.date);
}

void computeSplits(RideDetail& detail, UnitSystem system) {
    detail.splits = RideAnalysis::computeSplits(detail.routePoints, system == UnitSystem::metric,
                                                detail.splitDistance);
    detail.averagePace = RideAnalysis::averagePace(detail.splits);
}

void prepareChart(const PersistedRide& ride, UnitSystem system, RideDetail& detail) {
    RideChartInputs inputs{detail.heartRateSamples,
                           detail.routePoints,
                           detail.powerSamples,
                           ride.date,
                           ride.averageHeartRate,
                           ride.maxHeartRate,
                           system};
    detail.chart = prepareChartData(inputs);
    detail.chartTitle = chartTitle(inputs);
}

}  // namespace

RideDetail loadRideDetail(const PersistedRide& ride, UnitSystem system,
                          std::optional<SplitDistance> selected, Preferences& preferences) {
    RideDetail detail;
    std::vector<RoutePoint> route = ride.routePoints();
    detail.coordinates = coordinatesOf(route);
    detail.heartRateSamples = ride.heartRateSamples();
    detail.powerSamples = ride.powerSamples();
    detail.power = analyzePower(detail.powerSamples);
    if (route.size() >= 2) {
        removePauses(ride, route, detail);
    } else {
        detail.routePoints = route;
    }
    detail.splitDistance =
        RideAnalysis::effectiveSplitDistance(selected, ride.rideID, system, preferences);
    computeSplits(detail, system);
    detail.averageSpeed = RideAnalysis::averageSpeed(ride.distance, ride.activeTime, ride.duration);
    detail.maxSpeed = route.size() >= 2 ? RideAnalysis::maxSpeed(route) : 0.0;
    if (detail.routePoints.size() >= 2) {
        detail.retraceData =
            RideRetraceData::build(detail.routePoints, detail.heartRateSamples, ride.date);
    }
    prepareChart(ride, system, detail);
    return detail;
}

void pickSplitDistance(RideDetail& detail, const PersistedRide& ride, SplitDistance distance,
                       UnitSystem system, Preferences& preferences) {
    detail.splitDistance = distance;
    computeSplits(detail, system);
    RideAnalysis::rememberSplitDistance(distance, ride.rideID, preferences);
}

}  // namespace vantrel
