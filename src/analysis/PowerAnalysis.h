#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/PowerCurve.h"
#include "model/Samples.h"

namespace vantrel {

/// A best-power duration that is shown as a row and kept as a record.
struct BestPowerDuration {
    double seconds;
    /// "5 s", "1 min" …: how the duration reads in rows and tables.
    std::string_view label;
    /// "power5s", "power1min" …: the key in JSON and the record's raw value.
    std::string_view key;
};

inline constexpr std::array<BestPowerDuration, 5> kBestPowerDurations = {{
    {5, "5 s", "power5s"},
    {60, "1 min", "power1min"},
    {300, "5 min", "power5min"},
    {1200, "20 min", "power20min"},
    {3600, "60 min", "power60min"},
}};

/// What the power series of one activity says: best powers, Normalized Power and the curve.
struct PowerAnalysis {
    /// One per `kBestPowerDurations`; absent where the series is shorter than the duration.
    std::array<std::optional<double>, kBestPowerDurations.size()> bestPowers{};
    double normalizedPower = 0;
    std::vector<PowerCurvePoint> curve;

    bool empty() const { return curve.empty(); }
};

/// The analysis of a power series; empty (no curve, nothing best) without samples.
PowerAnalysis analyzePower(const std::vector<PowerSample>& samples);

}  // namespace vantrel
