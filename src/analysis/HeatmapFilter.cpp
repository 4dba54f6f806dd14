#include "analysis/HeatmapFilter.h"

#include <algorithm>

#include "model/ActivityKindGroup.h"
#include "model/AsciiText.h"
#include "model/PersistedRide.h"

namespace vantrel {

bool HeatmapFilter::matches(const PersistedRide& ride) const {
    if (!years.empty() &&
        std::find(years.begin(), years.end(), localYear(ride.date)) == years.end())
        return false;
    if (kinds.empty()) return true;
    std::optional<ActivityType> kind = ride.resolvedActivityType();
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
