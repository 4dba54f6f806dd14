#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vantrel {

/// The main window's view of a weather run.
struct WeatherStatus {
    bool isRunning = false;
    std::string progress;
    int current = 0;
    int total = 0;
    /// When set, this state is shown for that long; then `progress` becomes empty and
    /// `isRunning` false.
    std::optional<std::chrono::milliseconds> clearAfter;
    /// Activities got new snapshots: views showing them should read them afresh.
    bool changed = false;

    friend bool operator==(const WeatherStatus&, const WeatherStatus&) = default;
};

}  // namespace vantrel
