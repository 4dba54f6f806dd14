#pragma once

#include <vector>

#include "analysis/PersonalRecords.h"
#include "analysis/PowerCurve.h"

namespace vantrel {

/// The all-time power curve: at each standard duration the best mean power of any activity the
/// filter takes that can hold a power record. Durations no activity lasted are left out, so the
/// curve ends at the longest activity with power.
std::vector<PowerCurvePoint> bestPowerCurve(
    const std::vector<PersonalRecords::ActivityBests>& activities,
    const PersonalRecords::KindFilter& filter);

}  // namespace vantrel
