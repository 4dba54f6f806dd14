#pragma once

#include <optional>
#include <string>

#include "model/ActivityType.h"
#include "model/UnitSystem.h"

namespace vantrel {

/// Whether people on foot do this kind: runs (a treadmill's too), walks and hikes. They read
/// their effort as pace and are timed over the same distances.
bool isFootKind(ActivityType kind);

/// Seconds per kilometre at `metresPerSecond`; absent at no speed.
std::optional<double> secondsPerKilometre(double metresPerSecond);

/// The average pace as the Summary shows it: per kilometre or mile for foot kinds
/// ("5:12 /km", "8:22 /mi"), per 100 metres or 100 yards for swimming kinds ("2:05 /100 m").
/// Absent for other kinds, without a kind, and at no speed.
std::optional<std::string> formatAveragePace(double metresPerSecond,
                                             std::optional<ActivityType> kind, UnitSystem system);

}  // namespace vantrel
