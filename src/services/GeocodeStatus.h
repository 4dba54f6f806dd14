#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vantrel {

/// The main window's view of a locating run.
struct GeocodeStatus {
    bool isGeocoding = false;
    std::string progress;
    int current = 0;
    int total = 0;
    /// When set, this state is shown for that long; then `progress` becomes empty and
    /// `isGeocoding` false.
    std::optional<std::chrono::milliseconds> clearAfter;
    /// The year summaries should be reloaded (names changed).
    bool reloadSummaries = false;

    friend bool operator==(const GeocodeStatus&, const GeocodeStatus&) = default;
};

}  // namespace vantrel
