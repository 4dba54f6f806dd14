#pragma once

#include <vector>

#include "model/PersistedRide.h"

namespace vantrel {

/// True at the first existing record overlapping the candidate by more than half the shorter:
/// the rule by which imports, and merging one store into another, tell an activity already
/// stored.
bool isDuplicateActivity(Date start, double duration, const std::vector<RideRef>& existing);

}  // namespace vantrel
