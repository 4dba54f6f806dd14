#pragma once

#include "model/Samples.h"

namespace vantrel {

/// Distance in metres along the WGS84 ellipsoid between two positions, altitude ignored.
/// Exact for any pair of points, including steps of hundreds of kilometres (flights, sailing).
double geodesicDistance(const CodableCoordinate& from, const CodableCoordinate& to);

}  // namespace vantrel
