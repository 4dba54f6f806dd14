#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/ActivityType.h"
#include "model/Date.h"

namespace vantrel {

struct ImportedTrackpoint {
    double latitude = 0;
    double longitude = 0;
    std::optional<double> altitude;
    Date timestamp = 0;
    std::optional<double> heartRate;
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
