#include "model/ActivityType.h"

#include <algorithm>
#include <cctype>

#include "model/AsciiText.h"

namespace vantrel {

namespace {

struct TypeInfo {
    std::string_view raw;
    std::string_view displayName;
    std::string_view iconName;
    std::string_view timeLabel;
    std::string_view gpxType;
};

constexpr std::array<TypeInfo, kActivityTypeCount> kTypes = {{
    {"cycling", "Cycling", "bicycle", "Riding Time", "ride"},
    {"mountainBiking", "Mountain Biking", "figure.outdoor.cycle", "Riding Time",
     "mountainbikeride"},
    {"roadCycling", "Road Cycling", "bicycle", "Riding Time", "ride"},
    {"gravelCycling", "Gravel Cycling", "bicycle", "Riding Time", "gravelride"},
    {"indoorCycling", "Indoor Cycling", "figure.indoor.cycle", "Riding Time", "virtualride"},
    {"eBiking", "E-Biking", "bicycle", "Riding Time", "ebikeride"},
    {"running", "Running", "figure.run", "Running Time", "run"},
    {"trailRunning", "Trail Running", "figure.run", "Running Time", "trailrun"},
    {"walking", "Walking", "figure.walk", "Riding Time", "walk"},
    {"hiking", "Hiking", "figure.hiking", "Hiking Time", "hike"},
    {"swimming", "Swimming", "figure.pool.swim", "Swimming Time", "swim"},
    {"aquaJogging", "Aqua Jogging", "figure.water.fitness", "Aqua Jogging Time", "aquajogging"},
    {"treadmill", "Treadmill", "figure.run.treadmill", "Running Time", "treadmill"},
    {"car", "Car", "car.fill", "Drive Time", "car"},
    {"bus", "Bus", "bus.fill", "Travel Time", "bus"},
    {"rv", "RV", "truck.box.fill", "Drive Time", "rv"},
    {"boat", "Boat", "sailboat", "Boating Time", "boat"},
    {"airplane", "Airplane", "airplane", "Flight Time", "airplane"},
    {"cruiseShip", "Cruise Ship", "ferry.fill", "Cruise Time", "cruise"},
    {"other", "Workout", "figure.mixed.cardio", "Workout Time", "workout"},
}};

struct TextMapping {
    std::string_view text;
    ActivityType type;
};

constexpr TextMapping kTextMappings[] = {
    {"ride", ActivityType::cycling},
    {"cycling", ActivityType::cycling},
    {"biking", ActivityType::cycling},
    {"virtualride", ActivityType::cycling},
    {"mountainbikeride", ActivityType::mountainBiking},
    {"gravelride", ActivityType::gravelCycling},
    {"ebikeride", ActivityType::eBiking},
    {"run", ActivityType::running},
    {"running", ActivityType::running},
    {"trailrun", ActivityType::trailRunning},
    {"walk", ActivityType::walking},
    {"walking", ActivityType::walking},
    {"hike", ActivityType::hiking},
    {"hiking", ActivityType::hiking},
    {"swim", ActivityType::swimming},
    {"swimming", ActivityType::swimming},
    {"aquajogging", ActivityType::aquaJogging},
    {"aqua jogging", ActivityType::aquaJogging},
    {"waterfitness", ActivityType::aquaJogging},
    {"treadmill", ActivityType::treadmill},
    {"car", ActivityType::car},
    {"drive", ActivityType::car},
    {"driving", ActivityType::car},
    {"bus", ActivityType::bus},
    {"rv", ActivityType::rv},
    {"motorhome", ActivityType::rv},
    {"camper", ActivityType::rv},
    {"boat", ActivityType::boat},
    {"boating", ActivityType::boat},
    {"sailing", ActivityType::boat},
    {"airplane", ActivityType::airplane},
    {"flight", ActivityType::airplane},
    {"fly", ActivityType::airplane},
    {"cruise", ActivityType::cruiseShip},
    {"cruiseship", ActivityType::cruiseShip},
    {"cruise ship", ActivityType::cruiseShip},
};

const TypeInfo& info(ActivityType type) {
    return kTypes[static_cast<std::size_t>(type)];
}

}  // namespace

const std::array<ActivityType, kActivityTypeCount>& allActivityTypes() {
    static const auto all = [] {
        std::array<ActivityType, kActivityTypeCount> types{};
        for (int i = 0; i < kActivityTypeCount; ++i) types[i] = static_cast<ActivityType>(i);
        return types;
    }();
    return all;
}

std::string_view rawValue(ActivityType type) {
    return info(type).raw;
}

std::optional<ActivityType> activityTypeFromRawValue(std::string_view raw) {
    for (int i = 0; i < kActivityTypeCount; ++i) {
        if (kTypes[i].raw == raw) return static_cast<ActivityType>(i);
    }
    return std::nullopt;
}

std::string_view displayName(ActivityType type) {
    return info(type).displayName;
}
std::string_view iconName(ActivityType type) {
    return info(type).iconName;
}
std::string_view timeLabel(ActivityType type) {
    return info(type).timeLabel;
}
std::string_view gpxType(ActivityType type) {
    return info(type).gpxType;
}

ActivityType activityTypeFromText(std::string_view text) {
    std::string lower = asciiLowercased(text);
    for (const auto& mapping : kTextMappings) {
        if (mapping.text == lower) return mapping.type;
    }
    return ActivityType::other;
}

}  // namespace vantrel
