#include "analysis/HeatmapFilter.h"

#include <algorithm>

#include "model/AsciiText.h"
#include "model/PersistedRide.h"

namespace vantrel {

namespace {

using enum ActivityType;

struct KindGroup {
    std::string_view name;
    std::vector<ActivityType> kinds;
};

// Treadmill running and aqua jogging are where a runner's and a swimmer's training lives too.
const std::vector<KindGroup>& kindGroups() {
    static const std::vector<KindGroup> groups = {
        {"cycling", {cycling, mountainBiking, roadCycling, gravelCycling, indoorCycling, eBiking}},
        {"running", {running, trailRunning, treadmill}},
        {"swimming", {swimming, aquaJogging}},
    };
    return groups;
}

}  // namespace

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
    for (const auto& group : kindGroups()) {
        if (lower == group.name) return group.kinds;
    }
    for (ActivityType type : allActivityTypes()) {
        if (asciiLowercased(rawValue(type)) == lower) return std::vector<ActivityType>{type};
    }
    return std::nullopt;
}

}  // namespace vantrel
