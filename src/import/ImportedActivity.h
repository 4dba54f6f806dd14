#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "model/ActivityType.h"
#include "model/Date.h"

namespace vantrel {

/// Whether a position can be on the Earth: finite, latitude within ±90°, longitude within ±180°.
/// A point outside counts as a point without a position.
inline bool isValidPosition(double latitude, double longitude) {
    return std::isfinite(latitude) && std::isfinite(longitude) && std::abs(latitude) <= 90.0 &&
           std::abs(longitude) <= 180.0;
}

struct ImportedTrackpoint {
    double latitude = 0;
    double longitude = 0;
    std::optional<double> altitude;
    Date timestamp = 0;
    std::optional<double> heartRate;
    std::optional<double> power;    // watts
    std::optional<double> cadence;  // revolutions (or steps) per minute
    friend bool operator==(const ImportedTrackpoint&, const ImportedTrackpoint&) = default;
};

struct ImportedLapSummary {
    double totalTimeSeconds = 0;
    double distanceMeters = 0;
    double calories = 0;
    std::optional<double> averageHeartRate;
    std::optional<double> maxHeartRate;
    friend bool operator==(const ImportedLapSummary&, const ImportedLapSummary&) = default;
};

/// What a reader hands to the import pipeline.
struct ImportedActivity {
    std::optional<std::string> name;
    std::vector<ImportedTrackpoint> trackpoints;
    std::vector<ImportedLapSummary> lapSummaries;
    std::optional<ActivityType> activityType;
};

}  // namespace vantrel
