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
    /// Metres from the start as the device counted them (a wheel, a foot pod, pool lengths).
    std::optional<double> distance = std::nullopt;
    friend bool operator==(const ImportedTrackpoint&, const ImportedTrackpoint&) = default;
};

struct ImportedLapSummary {
    double totalTimeSeconds = 0;
    double distanceMeters = 0;
    double calories = 0;
    std::optional<double> averageHeartRate;
    std::optional<double> maxHeartRate;
    /// When the lap began; it places the lap in its leg of a multisport file.
    std::optional<Date> startTime = std::nullopt;
    friend bool operator==(const ImportedLapSummary&, const ImportedLapSummary&) = default;
};

/// One session of a file: a FIT file holds one per sport of a multisport event, with the
/// transitions between them as sessions of their own.
struct ImportedSession {
    std::optional<Date> startTime;
    /// Seconds from the start to the end, pauses included.
    std::optional<double> elapsedSeconds;
    std::optional<double> distanceMeters;
    std::optional<ActivityType> activityType;
    /// The change of kit between two legs, which is no activity of its own.
    bool transition = false;
    friend bool operator==(const ImportedSession&, const ImportedSession&) = default;
};

/// What a reader hands to the import pipeline.
struct ImportedActivity {
    std::optional<std::string> name;
    std::vector<ImportedTrackpoint> trackpoints;
    std::vector<ImportedLapSummary> lapSummaries;
    std::optional<ActivityType> activityType;
    /// Points with a time but no position (treadmill, trainer, pool), in document order. They
    /// make the activity only when no point has a position; their coordinates mean nothing.
    std::vector<ImportedTrackpoint> unplacedPoints;
    /// The file's sessions in document order; empty for formats that have none.
    std::vector<ImportedSession> sessions;
};

}  // namespace vantrel
