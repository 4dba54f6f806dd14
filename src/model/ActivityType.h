#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

/// The twenty activity kinds, in their listing order (case numbers 0-19).
enum class ActivityType {
    cycling,
    mountainBiking,
    roadCycling,
    gravelCycling,
    indoorCycling,
    eBiking,
    running,
    trailRunning,
    walking,
    hiking,
    swimming,
    aquaJogging,
    treadmill,
    car,
    bus,
    rv,
    boat,
    airplane,
    cruiseShip,
    other,
};

inline constexpr int kActivityTypeCount = 20;
const std::array<ActivityType, kActivityTypeCount>& allActivityTypes();

/// The raw value stored in `PersistedRide.activityType` (the case name).
std::string_view rawValue(ActivityType type);
/// Exact, case-sensitive match of a raw value; absent for anything else.
std::optional<ActivityType> activityTypeFromRawValue(std::string_view raw);
std::string_view displayName(ActivityType type);
std::string_view iconName(ActivityType type);
std::string_view timeLabel(ActivityType type);
std::string_view gpxType(ActivityType type);
/// Lower-cases the text (nothing else) and maps it by the fixed lists; `other` when none match.
ActivityType activityTypeFromText(std::string_view text);

}  // namespace vantrel
