#include "model/DuplicateActivity.h"

#include <algorithm>

namespace vantrel {

namespace {

constexpr double kDuplicateOverlapShare = 0.5;

}  // namespace

bool isDuplicateActivity(Date start, double duration, const std::vector<RideRef>& existing) {
    double end = start + duration;
    for (const auto& ride : existing) {
        double overlap = std::min(end, ride->date + ride->duration) - std::max(start, ride->date);
        double shorter = std::min(duration, ride->duration);
        if (overlap > 0 && shorter > 0 && overlap / shorter > kDuplicateOverlapShare) return true;
    }
    return false;
}

}  // namespace vantrel
