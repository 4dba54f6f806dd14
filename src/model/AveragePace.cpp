#include "model/AveragePace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/ActivityKindGroup.h"

namespace vantrel {

namespace {

constexpr double kMetresPerYard = 0.9144;
// Slower than this is standing still; a pace of days would only overflow the text.
constexpr double kSlowestPaceSeconds = 100.0 * 3600;

struct PaceUnit {
    double metres;
    const char* suffix;
};

std::optional<PaceUnit> paceUnit(ActivityType kind, UnitSystem system) {
    bool metric = system == UnitSystem::metric;
    if (isFootKind(kind)) {
        return metric ? PaceUnit{1000.0, " /km"} : PaceUnit{kMetresPerMile, " /mi"};
    }
    auto swimming = kindsOf(ActivityKindGroup::swimming);
    if (std::find(swimming.begin(), swimming.end(), kind) != swimming.end()) {
        return metric ? PaceUnit{100.0, " /100 m"} : PaceUnit{100 * kMetresPerYard, " /100 yd"};
    }
    return std::nullopt;
}

}  // namespace

bool isFootKind(ActivityType kind) {
    switch (kind) {
        case ActivityType::running:
        case ActivityType::trailRunning:
        case ActivityType::treadmill:
        case ActivityType::walking:
        case ActivityType::hiking:
            return true;
        default:
            return false;
    }
}

std::optional<double> secondsPerKilometre(double metresPerSecond) {
    if (!(metresPerSecond > 0) || !std::isfinite(metresPerSecond)) return std::nullopt;
    return 1000.0 / metresPerSecond;
}

std::optional<std::string> formatAveragePace(double metresPerSecond,
                                             std::optional<ActivityType> kind, UnitSystem system) {
    if (!kind || !(metresPerSecond > 0) || !std::isfinite(metresPerSecond)) return std::nullopt;
    auto unit = paceUnit(*kind, system);
    if (!unit) return std::nullopt;
    double seconds = unit->metres / metresPerSecond;
    if (!(seconds < kSlowestPaceSeconds)) return std::nullopt;
    return formatPace(seconds) + unit->suffix;
}

}  // namespace vantrel
