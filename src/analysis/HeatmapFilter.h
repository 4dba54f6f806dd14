#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "model/ActivityType.h"
#include "model/Date.h"

namespace vantrel {

class PersistedRide;

/// Which activities a heatmap shows.
struct HeatmapFilter {
    /// Empty: every activity, those without a known kind too.
    std::vector<ActivityType> kinds;
    /// Calendar years in the local time zone; empty: every year.
    std::vector<int> years;

    bool matches(const PersistedRide& ride) const;
    /// The same for an activity of this date and kind.
    bool matches(Date date, const std::optional<ActivityType>& kind) const;
};

/// The kinds a person means by a name: "cycling", "running" and "swimming" (any case) are the
/// groups of all cycling, running and swimming kinds; any other text is one kind's raw value,
/// compared without case. Absent for an unknown name.
std::optional<std::vector<ActivityType>> activityKindsNamed(std::string_view name);

}  // namespace vantrel
