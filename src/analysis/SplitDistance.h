#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "model/UnitSystem.h"

namespace vantrel {

/// The lengths the split table can use. Declaration order is the stored tag order.
enum class SplitDistance { mile, quarterMile, fourHundredMeters, oneThousandMeters, kilometer };

const std::array<SplitDistance, 5>& allSplitDistances();

/// "mile", "quarterMile", "400m", "1000m" or "km": the value stored in the preferences.
std::string_view rawValue(SplitDistance distance);
/// Exact match of one of the five raw values; absent for anything else.
std::optional<SplitDistance> splitDistanceFromRawValue(std::string_view raw);

double lengthInMetres(SplitDistance distance);
/// Label of the segmented choice ("Mile", "¼ Mile", ...).
std::string_view pickerLabel(SplitDistance distance);
/// Column header of the split table ("Mile", "¼ Mi", ...).
std::string_view shortLabel(SplitDistance distance);

/// The lengths offered to the user, in display order, for a unit system.
std::vector<SplitDistance> offeredSplitDistances(UnitSystem system);

}  // namespace vantrel
