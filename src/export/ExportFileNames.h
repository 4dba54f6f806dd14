#pragma once

#include <string>
#include <vector>

#include "model/Date.h"
#include "model/PersistedRide.h"

namespace vantrel {

// File names of the exports; dates in the local time zone.

/// "yyyyMMddHHmm" of the activity's start: the base of its GPX file name.
std::string gpxBaseName(Date start);
/// "Vantrel_YYYY.json".
std::string archiveYearFileName(int year);
/// "Vantrel_yyyyMMdd_HHmm.json" of the start for one activity; for several
/// "Vantrel_yyyyMMdd_HHmm_Nactivities.json" of `now`.
std::string archiveSelectionFileName(const std::vector<RideRef>& rides, Date now);
/// "Vantrel_yyyyMMddHHmm.json", the name proposed for the activity shown in the detail view.
std::string archiveDetailFileName(const PersistedRide& ride);

}  // namespace vantrel
