#include "analysis/HeatmapFilter.h"

#include <algorithm>

#include "model/ActivityKindGroup.h"
#include "model/AsciiText.h"
#include "model/PersistedRide.h"

namespace vantrel {

bool HeatmapFilter::matches(const PersistedRide& ride) const {
    return matches(ride.date, ride.resolvedActivityType());
}

bool HeatmapFilter::matches(Date date, const std::optional<ActivityType>& kind) const {
    if (!years.empty() && std::find(years.begin(), years.end(), localYear(date)) == years.end())
        return false;
    if (kinds.empty()) return true;
    return kind && std::find(kinds.begin(), kinds.end(), *kind) != kinds.end();
}

std::optional<std::vector<ActivityType>> activityKindsNamed(std::string_view name) {
    std::string lower = asciiLowercased(name);
    for (auto group : kAllKindGroups) {
        if (lower == groupName(group)) {
            auto kinds = kindsOf(group);
            return std::vector<ActivityType>(kinds.begin(), kinds.end());
        }
    }
    for (ActivityType type : allActivityTypes()) {
        if (asciiLowercased(rawValue(type)) == lower) return std::vector<ActivityType>{type};
    }
    return std::nullopt;
}

}  // namespace vantrel
