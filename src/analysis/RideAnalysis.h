#pragma once

#include <optional>
#include <vector>

#include "analysis/ActiveSegment.h"
#include "analysis/MileSplit.h"
#include "analysis/SplitDistance.h"
#include "model/Date.h"
#include "model/Preferences.h"
#include "model/Samples.h"
#include "model/UnitSystem.h"
#include "model/Uuid.h"

namespace vantrel {

/// What the detail view derives from an activity's decoded series: active segments, pause
/// removal, splits and speeds. Pure functions, except the two that touch the split preference.
namespace RideAnalysis {

/// A gap between consecutive route points longer than this (seconds) is a pause.
inline constexpr double kPauseThreshold = 90.0;

/// An active segment placed on the activity's active-time axis.
struct Boundary {
    Date start = 0;
    Date end = 0;
    /// Active seconds before this segment.
    double activeStart = 0;
    /// `activeStart` plus the segment's length.
    double activeEnd = 0;
    friend bool operator==(const Boundary&, const Boundary&) = default;
};

/// Segments of the route (in stored order) split at gaps longer than 90 s; empty for an empty
/// route, one zero-length segment for a single point.
std::vector<ActiveSegment> activeSegments(const std::vector<RoutePoint>& route);
/// Active seconds from the first point to `date`; absent inside a pause or outside the route.
std::optional<double> activeOffset(Date date, const std::vector<ActiveSegment>& segments);
std::vector<Boundary> boundaries(const std::vector<ActiveSegment>& segments);
/// Sum of the segment lengths.
double activeTime(const std::vector<ActiveSegment>& segments);

/// The route re-timed from `reference` with pauses cut out (fresh ids).
std::vector<RoutePoint> removePauses(const std::vector<RoutePoint>& route,
                                     const std::vector<ActiveSegment>& segments, Date reference);
/// Heart rate re-timed the same way; samples in a pause or outside the route are dropped.
std::vector<HeartRateSample> removePauses(const std::vector<HeartRateSample>& samples,
                                          const std::vector<ActiveSegment>& segments,
                                          Date reference);
/// Heart rate re-timed keeping every sample: one recorded in a pause moves to the pause's
/// nearer edge (the earlier one on a tie). Without segments the samples come back unchanged.
std::vector<HeartRateSample> removePausesSnapping(const std::vector<HeartRateSample>& samples,
                                                  const std::vector<ActiveSegment>& segments,
                                                  Date reference);

/// Split length: `distance` when given, else 1000 m (metric) or 1609.34 m.
double splitLength(bool metric, std::optional<SplitDistance> distance);
/// Splits of a route; the last partial split (at least a tenth of a length) is scaled up.
std::vector<MileSplit> computeSplits(const std::vector<RoutePoint>& route, bool metric,
                                     std::optional<SplitDistance> distance);
/// Mean pace of all rows; absent without rows.
std::optional<double> averagePace(const std::vector<MileSplit>& splits);

/// Stored distance over active time (or duration when no active time); 0 when undefined.
double averageSpeed(double distance, double activeTime, double duration);
/// Fastest straight-line speed over windows of 10 to 30 seconds; 0 when there is none.
double maxSpeed(const std::vector<RoutePoint>& route);

/// The view's current choice, else the activity's remembered one, else the unit default.
SplitDistance effectiveSplitDistance(std::optional<SplitDistance> current, const Uuid& rideID,
                                     UnitSystem system, Preferences& preferences);
/// Remembers the choice for this activity in `preferences`.
void rememberSplitDistance(SplitDistance distance, const Uuid& rideID, Preferences& preferences);

}  // namespace RideAnalysis

}  // namespace vantrel
