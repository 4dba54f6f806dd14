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

ActivityType runningType(std::uint8_t subSport) {
    switch (subSport) {
        case 1:
            return ActivityType::treadmill;
        case 3:
            return ActivityType::trailRunning;
        default:
            return ActivityType::running;
    }
}

// Gym machines: a treadmill and a stationary bike are the kinds people know them as.
ActivityType fitnessEquipmentType(std::uint8_t subSport) {
    switch (subSport) {
        case 1:
            return ActivityType::treadmill;
        case 5:  // spin
        case 6:  // indoor_cycling
            return ActivityType::indoorCycling;
        default:
            return ActivityType::other;
    }
}

}  // namespace

bool isTransition(std::uint8_t sport, std::uint8_t subSport) {
    constexpr std::uint8_t kTransitionSport = 3;
    // bike_to_run, run_to_bike and swim_to_bike transitions, whatever sport they carry.
    constexpr std::uint8_t kFirstTransitionSubSport = 32;
    constexpr std::uint8_t kLastTransitionSubSport = 34;
    return sport == kTransitionSport ||
           (subSport >= kFirstTransitionSubSport && subSport <= kLastTransitionSubSport);
}

std::optional<NumericType> numericType(std::uint8_t baseType) {
    switch (baseType) {
        case 0x00:  // enum
        case 0x02:  // uint8
            return NumericType{1, 0xFF, false, false};
        case 0x01:
            return NumericType{1, 0x7F, true, false};
        case 0x0A:  // uint8z
            return NumericType{1, 0x00, false, false};
        case 0x83:
            return NumericType{2, 0x7FFF, true, false};
        case 0x84:
            return NumericType{2, 0xFFFF, false, false};
        case 0x8B:  // uint16z
            return NumericType{2, 0x0000, false, false};
        case 0x85:
            return NumericType{4, 0x7FFFFFFF, true, false};
        case 0x86:
            return NumericType{4, 0xFFFFFFFF, false, false};
        case 0x8C:  // uint32z
            return NumericType{4, 0x00000000, false, false};
        case 0x88:  // float32
            return NumericType{4, 0xFFFFFFFF, false, true};
        default:
            return std::nullopt;
    }
}

ActivityType activityTypeForSport(std::uint8_t sport, std::uint8_t subSport) {
    switch (sport) {
        case 1:
            return runningType(subSport);
        case 4:
            return fitnessEquipmentType(subSport);
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
