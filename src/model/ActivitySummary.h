#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/ActivityType.h"
#include "model/Date.h"
#include "model/Uuid.h"

namespace vantrel {

/// The few fields of a saved live record that a pass over a whole history (records, heatmap)
/// needs, read without the rest of the row: no series, no photos, no place or notes.
struct ActivitySummary {
    std::int64_t objectID = 0;
    Uuid rideID;
    Date date = 0;
    double duration = 0;
    double distance = 0;
    double elevationGain = 0;
    std::optional<std::string> activityType;
    /// The series mark (see `RideStore::seriesMarks`); absent where the store keeps none.
    std::optional<std::int64_t> seriesMark;

    /// The kind whose raw value equals `activityType` exactly; absent otherwise.
    std::optional<ActivityType> resolvedActivityType() const {
        return activityType ? activityTypeFromRawValue(*activityType) : std::nullopt;
    }

    friend bool operator==(const ActivitySummary&, const ActivitySummary&) = default;
};

}  // namespace vantrel
