#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/Preferences.h"

namespace vantrel {

enum class UnitSystem { imperial, metric };

std::string_view rawValue(UnitSystem system);
/// Exactly "metric" is metric; anything else (absent included) is imperial.
UnitSystem unitSystemFromRawValue(const std::optional<std::string>& raw);
std::string_view settingsLabel(UnitSystem system);
/// The user's current choice, read from `preferences` on every call.
UnitSystem currentUnitSystem(Preferences& preferences);

inline constexpr double kFeetPerMetre = 3.28084;
inline constexpr double kMetresPerMile = 1609.34;
inline constexpr double kMphPerMetrePerSecond = 2.23694;
inline constexpr double kKmhPerMetrePerSecond = 3.6;
inline constexpr double kKmPerMile = 1.60934;

std::string formatDistance(double metres, UnitSystem system);
std::string formatSpeed(double metresPerSecond, UnitSystem system);
std::string formatTemperature(double celsius, UnitSystem system);
std::string formatDuration(double seconds);
std::string formatPace(double seconds);
std::string formatElevationGain(double metres, UnitSystem system);
std::string formatElevationChange(double metres, UnitSystem system);
std::string formatElevation(double metres, UnitSystem system);
std::string formatWindSpeed(double kmh, UnitSystem system);

}  // namespace vantrel
