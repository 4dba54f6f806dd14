#pragma once

#include <cstddef>

namespace vantrel {

class PersistedRide;

/// The location-only kinds, and activities recorded without a route (treadmill, trainer, pool
/// files) whatever their kind, show a set location and store their map region.
/// `routePointCount` counts the stored route: a pin is one point, a route at least two.
bool isLocationOnly(const PersistedRide& ride, std::size_t routePointCount);

}  // namespace vantrel
