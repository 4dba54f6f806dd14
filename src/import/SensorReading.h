#pragma once

#include <cmath>
#include <optional>

namespace vantrel {

/// Above any human effort, even a track sprinter's peak: a larger value is a sensor fault.
inline constexpr double kMaximumPlausiblePower = 3000.0;
/// Above any pedalling or running cadence.
inline constexpr double kMaximumPlausibleCadence = 300.0;

/// A reading kept only when it can be real: finite and within 0…`maximum`. A dropped reading
/// leaves the point without that value rather than failing the file.
inline std::optional<double> plausibleReading(std::optional<double> value, double maximum) {
    if (!value || !std::isfinite(*value) || *value < 0 || *value > maximum) return std::nullopt;
    return value;
}

inline std::optional<double> plausiblePower(std::optional<double> watts) {
    return plausibleReading(watts, kMaximumPlausiblePower);
}

inline std::optional<double> plausibleCadence(std::optional<double> rpm) {
    return plausibleReading(rpm, kMaximumPlausibleCadence);
}

}  // namespace vantrel
