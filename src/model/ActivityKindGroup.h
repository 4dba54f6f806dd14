#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/ActivityType.h"

namespace vantrel {

/// The families of kinds a person thinks in when asking "how far did I cycle this year?".
enum class ActivityKindGroup { cycling, running, swimming };

inline constexpr ActivityKindGroup kAllKindGroups[] = {
    ActivityKindGroup::cycling, ActivityKindGroup::running, ActivityKindGroup::swimming};

/// The kinds of a group, in listing order.
std::span<const ActivityType> kindsOf(ActivityKindGroup group);
/// "cycling", "running", "swimming".
std::string_view groupName(ActivityKindGroup group);
/// "All Cycling", "All Running", "All Swimming".
std::string_view groupDisplayName(ActivityKindGroup group);

/// A kind filter as a person types it: a group name gives every kind of the group (so
/// "cycling" means all cycling kinds, not only the plain one); otherwise the raw value of one
/// kind gives that kind. Absent for anything else.
std::optional<std::vector<ActivityType>> kindsNamed(std::string_view name);

}  // namespace vantrel
