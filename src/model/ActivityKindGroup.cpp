#include "model/ActivityKindGroup.h"

#include <array>

namespace vantrel {

namespace {

using T = ActivityType;

constexpr std::array kCyclingKinds = {T::cycling,       T::mountainBiking, T::roadCycling,
                                      T::gravelCycling, T::indoorCycling,  T::eBiking};
constexpr std::array kRunningKinds = {T::running, T::trailRunning, T::treadmill};
// Aqua jogging is a pool session too; people count it with their swims.
constexpr std::array kSwimmingKinds = {T::swimming, T::aquaJogging};

}  // namespace

std::span<const ActivityType> kindsOf(ActivityKindGroup group) {
    switch (group) {
        case ActivityKindGroup::cycling:
            return kCyclingKinds;
        case ActivityKindGroup::running:
            return kRunningKinds;
        case ActivityKindGroup::swimming:
            return kSwimmingKinds;
    }
    return {};
}

std::string_view groupName(ActivityKindGroup group) {
    switch (group) {
        case ActivityKindGroup::cycling:
            return "cycling";
        case ActivityKindGroup::running:
            return "running";
        case ActivityKindGroup::swimming:
            return "swimming";
    }
    return {};
}

std::string_view groupDisplayName(ActivityKindGroup group) {
    switch (group) {
        case ActivityKindGroup::cycling:
            return "All Cycling";
        case ActivityKindGroup::running:
            return "All Running";
        case ActivityKindGroup::swimming:
            return "All Swimming";
    }
    return {};
}

std::optional<std::vector<ActivityType>> kindsNamed(std::string_view name) {
    for (auto group : kAllKindGroups) {
        if (groupName(group) == name) {
            auto kinds = kindsOf(group);
            return std::vector<ActivityType>(kinds.begin(), kinds.end());
        }
    }
    if (auto kind = activityTypeFromRawValue(name)) return std::vector<ActivityType>{*kind};
    return std::nullopt;
}

}  // namespace vantrel
