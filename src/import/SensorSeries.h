#pragma once

#include <vector>

#include "import/ImportedActivity.h"
#include "model/PersistedRide.h"

namespace vantrel {

/// Fills the record's power series, `averagePower`, `maxPower` and `averageCadence` from the
/// points (sorted by time), one power sample per point that has power. Zero watts count
/// towards the average, since coasting is part of a ride; zero cadence does not, since it only
/// says the legs stood still. Points without power or cadence leave the fields at their
/// defaults.
void applyPowerAndCadence(PersistedRide& ride, const std::vector<ImportedTrackpoint>& points);

}  // namespace vantrel
