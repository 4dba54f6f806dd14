#pragma once

#include <optional>

#include "model/PersistedRide.h"
#include "model/Preferences.h"
#include "model/RideStore.h"

namespace vantrel {

/// Where the location picker opens for an activity: where the activity already lies (its route's
/// first point, else its saved map region), else the last location the user picked, else where
/// the activity nearest in time that has a route starts. Absent when none of these is known;
/// the picker then shows the whole world and asks before it takes the map's centre.
std::optional<CodableCoordinate> locationPickerStart(RideStore& store, const PersistedRide& ride,
                                                     std::optional<CodableCoordinate> lastPicked);

/// The location last committed in the picker, kept in the preferences ("lastPickedLocation").
std::optional<CodableCoordinate> lastPickedLocation(Preferences& preferences);
void rememberPickedLocation(Preferences& preferences, CodableCoordinate coordinate);

}  // namespace vantrel
