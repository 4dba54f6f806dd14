#pragma once

#include <vector>

#include "model/Samples.h"

namespace vantrel {

/// The tolerance the heatmap draws with: finer than a street's width, coarse enough that a
/// straight road of any length keeps only its two ends.
inline constexpr double kHeatmapToleranceMetres = 3.0;

/// Douglas–Peucker on the ground: keeps the fewest points such that every dropped point lies
/// within `toleranceMetres` of the line between the points kept around it. Distances are taken
/// in a local metric projection of each stretch (longitudes scaled by the cosine of the
/// stretch's latitude, steps across the 180th meridian unwrapped), exact to well under a
/// percent for the steps of a recorded route. The first and last points are always kept;
/// points that are not finite or off the globe are dropped first.
std::vector<CodableCoordinate> simplifyRoute(const std::vector<CodableCoordinate>& coordinates,
                                             double toleranceMetres = kHeatmapToleranceMetres);

/// Distance in metres from `point` to the segment from `a` to `b`, in the same local projection
/// that `simplifyRoute` uses (so tests can check its promise with its own measure).
double distanceToSegmentMetres(const CodableCoordinate& point, const CodableCoordinate& a,
                               const CodableCoordinate& b);

}  // namespace vantrel
