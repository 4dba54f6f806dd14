#pragma once

#include <optional>
#include <string>

#include "analysis/RideDetail.h"

namespace vantrel {

/// What the scrubber points at. The map marker and the chart's label both show it, so they
/// always agree: heart rate and altitude where the marker stands on the route, power from the
/// full power series (never from the thinned-out plot).
struct ScrubberReading {
    /// Where the marker stands; absent without a route of two points or more.
    std::optional<RideRetraceData::Waypoint> waypoint;
    std::optional<double> heartRate;
    /// Watts, only when the activity has power.
    std::optional<double> power;
    /// Metres, only when the activity has no power and the marker stands on a route.
    std::optional<double> altitude;
};

/// The reading at a scrubber progress (clamped to 0…1). On a route the marker's waypoint gives
/// heart rate and altitude; without one, heart rate is the reading nearest to the chart's
/// scrubber line. Power is the sample nearest to the line on the chart's time axis, whose
/// origin is the first power sample.
ScrubberReading readScrubber(const RideDetail& detail, double progress);

/// "120 bpm · 185 ft", "143 bpm · 269 W" or "-- bpm · 56 m": heart rate (or "--"), then power
/// or altitude in `system`'s unit when there is one.
std::string formatScrubberReading(const ScrubberReading& reading, UnitSystem system);

}  // namespace vantrel
