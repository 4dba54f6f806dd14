#include "import/FITProfile.h"

namespace vantrel::FITProfile {

namespace {

ActivityType cyclingType(std::uint8_t subSport) {
    switch (subSport) {
        case 5:  // spin
        case 6:  // indoor_cycling
            return ActivityType::indoorCycling;
        case 7:
            return ActivityType::roadCycling;
        case 8:  // mountain
        case 9:  // downhill
            return ActivityType::mountainBiking;
        case 11:
            return ActivityType::gravelCycling;
        default:
            return ActivityType::cycling;
    }
}

}  // namespace

ActivityType activityTypeForSport(std::uint8_t sport, std::uint8_t subSport) {
    switch (sport) {
        case 1:
            return subSport == 3 ? ActivityType::trailRunning : ActivityType::running;
        case 2:
            return cyclingType(subSport);
        case 5:
            return ActivityType::swimming;
        case 11:
            return ActivityType::walking;
        case 17:
            return ActivityType::hiking;
        case 21:
            return ActivityType::eBiking;
        default:
            return ActivityType::other;
    }
}

}  // namespace vantrel::FITProfile
