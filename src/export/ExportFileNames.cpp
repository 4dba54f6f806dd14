#include "export/ExportFileNames.h"

namespace vantrel {

std::string gpxBaseName(Date start) {
    return formatLocal(start, "%Y%m%d%H%M");
}

std::string archiveYearFileName(int year) {
    return "Vantrel_" + std::to_string(year) + ".json";
}

std::string archiveSelectionFileName(const std::vector<RideRef>& rides, Date now) {
    if (rides.size() == 1)
        return "Vantrel_" + formatLocal(rides.front()->date, "%Y%m%d_%H%M") + ".json";
    return "Vantrel_" + formatLocal(now, "%Y%m%d_%H%M") + "_" + std::to_string(rides.size()) +
           "activities.json";
}

std::string archiveDetailFileName(const PersistedRide& ride) {
    return "Vantrel_" + formatLocal(ride.date, "%Y%m%d%H%M") + ".json";
}

}  // namespace vantrel
