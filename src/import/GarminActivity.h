#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/Date.h"

namespace vantrel {

/// One activity of a Garmin export's summary JSON ("summarizedActivitiesExport"), in metric
/// units. Missing or mistyped members keep these defaults.
struct GarminActivity {
    std::int64_t activityId = 0;
    std::optional<std::string> activityType;
    /// From "beginTimestamp" (milliseconds since 1970); 1970-01-01T00:00:00Z when missing.
    Date startTimestamp = dateFromUnix(0);
    double duration = 0;       ///< seconds
    double distance = 0;       ///< metres
    double elevationGain = 0;  ///< metres
    double avgHR = 0;
    double maxHR = 0;
    double calories = 0;
    std::optional<std::string> name;

    friend bool operator==(const GarminActivity&, const GarminActivity&) = default;
};

}  // namespace vantrel
