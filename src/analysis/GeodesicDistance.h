#pragma once

#include "model/Samples.h"

namespace vantrel {

/// Distance in metres along the WGS84 ellipsoid between two positions, altitude ignored.
/// Right for any pair of points, including steps of hundreds of kilometres (flights, sailing).
/// Steps under 1 km away from the poles, the bulk of every recorded route, take a local
/// ellipsoidal approximation that agrees with the exact geodesic to well under 1 mm.
double geodesicDistance(const CodableCoordinate& from, const CodableCoordinate& to);

/// The exact geodesic (GeographicLib), whatever the step.
double exactGeodesicDistance(const CodableCoordinate& from, const CodableCoordinate& to);

}  // namespace vantrel
