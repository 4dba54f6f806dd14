#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/ActiveSegment.h"
#include "analysis/MileSplit.h"
#include "analysis/PowerAnalysis.h"
#include "analysis/RideChartData.h"
#include "analysis/RideRetraceData.h"
#include "analysis/SplitDistance.h"
#include "model/PersistedRide.h"
#include "model/Preferences.h"
#include "model/UnitSystem.h"

namespace vantrel {

/// Everything the detail view shows that is derived from an activity's series, computed in the
/// order the view relies on, so that the view only displays it.
struct RideDetail {
    /// The route as stored, for the map line.
    std::vector<CodableCoordinate> coordinates;
    std::vector<ActiveSegment> segments;
    /// Route and heart rate with pauses removed (unchanged below two route points).
    std::vector<RoutePoint> routePoints;
    std::vector<HeartRateSample> heartRateSamples;
    /// Power as stored: it is never pause-removed.
    std::vector<PowerSample> powerSamples;
    /// Best powers, Normalized Power and the power curve; empty without power.
    PowerAnalysis power;

    SplitDistance splitDistance = SplitDistance::mile;
    std::vector<MileSplit> splits;
    std::optional<double> averagePace;
    double averageSpeed = 0;
    /// Over the route as stored, not the pause-removed one.
    double maxSpeed = 0;

    /// Present when the pause-removed route has at least two points.
    std::optional<RideRetraceData> retraceData;
    RideChartData chart;
    std::string chartTitle;
};

/// Decodes the record's series and derives the detail. `selected` is the view's current split
/// choice; without one the activity's remembered choice or the unit default applies. The
/// caller purges an expired trim backup first, as the view does before every load.
/// The remembered choices are read from `preferences`.
RideDetail loadRideDetail(const PersistedRide& ride, UnitSystem system,
                          std::optional<SplitDistance> selected, Preferences& preferences);

/// Recomputes the splits for a newly picked length and remembers it for the activity in
/// `preferences`.
void pickSplitDistance(RideDetail& detail, const PersistedRide& ride, SplitDistance distance,
                       UnitSystem system, Preferences& preferences);

}  // namespace vantrel
