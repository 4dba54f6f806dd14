#include "analysis/LocationOnly.h"

#include "model/PersistedRide.h"

namespace vantrel {

bool isLocationOnly(const PersistedRide& ride, std::size_t routePointCount) {
    if (routePointCount < 2) return true;
    std::optional<ActivityType> type = ride.resolvedActivityType();
    if (!type) return false;
    switch (*type) {
        case ActivityType::indoorCycling:
        case ActivityType::aquaJogging:
        case ActivityType::treadmill:
        case ActivityType::airplane:
        case ActivityType::cruiseShip:
            return true;
        default:
            return false;
    }
}

}  // namespace vantrel
