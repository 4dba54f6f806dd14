#pragma once

#include <optional>
#include <vector>

#include "model/Samples.h"

namespace vantrel {

class PersistedRide;

/// What a map shows: the centre and the span of the visible region, in degrees.
struct MapCamera {
    CodableCoordinate center;
    double spanLat = 0;
    double spanLon = 0;
    friend bool operator==(const MapCamera&, const MapCamera&) = default;
};

/// The camera an activity's map opens on: the stored region of a location-only activity, else
/// the route with a margin around it, or absent (the map's automatic camera) without either.
std::optional<MapCamera> initialCamera(const PersistedRide& ride,
                                       const std::vector<CodableCoordinate>& route);

}  // namespace vantrel
