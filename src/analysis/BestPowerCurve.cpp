#include "analysis/BestPowerCurve.h"

#include <algorithm>
#include <optional>

namespace vantrel {

std::vector<PowerCurvePoint> bestPowerCurve(
    const std::vector<PersonalRecords::ActivityBests>& activities,
    const PersonalRecords::KindFilter& filter) {
    const auto& durations = PowerCurve::standardDurations();
    std::vector<std::optional<double>> best(durations.size());
    for (const auto& activity : activities) {
        if (!filter.contains(activity.activityType) ||
            !PersonalRecords::appliesTo(RecordKind::power5s, activity.activityType)) {
            continue;
        }
        std::size_t count = std::min(durations.size(), activity.powerCurve.size());
        for (std::size_t i = 0; i < count; ++i) {
            auto watts = activity.powerCurve[i];
            if (watts && (!best[i] || *watts > *best[i])) best[i] = watts;
        }
    }
    std::vector<PowerCurvePoint> curve;
    for (std::size_t i = 0; i < durations.size(); ++i) {
        if (best[i]) curve.push_back({durations[i], *best[i]});
    }
    return curve;
}

}  // namespace vantrel
