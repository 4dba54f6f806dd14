#pragma once

#include <string>

#include "model/PersistedRide.h"

namespace vantrel {

/// The GPX 1.1 document of one activity: one track, one segment, every route point in stored
/// order with elevation and time, and the heart rate of the nearest sample less than 30 s away
/// as a TrackPointExtension. Never fails; the text is UTF-8. A time outside the years 0001 to
/// 9999 (or not finite) is left out of its point or of the metadata; the point itself stays.
std::string buildGPX(const PersistedRide& ride);

/// "%d:%02d" below an hour, "%d:%02d:%02d" from an hour on, of the whole seconds of `seconds`.
std::string gpxDurationText(double seconds);
/// Shortest round-trip text with at least one decimal; exponent form below 0.0001 ("5e-05").
std::string gpxCoordinateText(double degrees);

}  // namespace vantrel
