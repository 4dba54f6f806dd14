#include "analysis/SplitDistance.h"

namespace vantrel {

namespace {

struct SplitDistanceInfo {
    std::string_view raw;
    double metres;
    std::string_view picker;
    std::string_view shortName;
};

const SplitDistanceInfo& info(SplitDistance distance) {
    static const std::array<SplitDistanceInfo, 5> table = {{
        {"mile", 1609.34, "Mile", "Mile"},
        {"quarterMile", 402.336, "\u00BC Mile", "\u00BC Mi"},
        {"400m", 400.0, "400m", "400m"},
        {"1000m", 1000.0, "1000m", "1000m"},
        {"km", 1000.0, "Kilometer", "Km"},
    }};
    return table[static_cast<std::size_t>(distance)];
}

}  // namespace

const std::array<SplitDistance, 5>& allSplitDistances() {
    static const std::array<SplitDistance, 5> all = {
        SplitDistance::mile, SplitDistance::quarterMile, SplitDistance::fourHundredMeters,
        SplitDistance::oneThousandMeters, SplitDistance::kilometer};
    return all;
}

std::string_view rawValue(SplitDistance distance) {
    return info(distance).raw;
}

std::optional<SplitDistance> splitDistanceFromRawValue(std::string_view raw) {
    for (SplitDistance distance : allSplitDistances()) {
        if (rawValue(distance) == raw) return distance;
    }
    return std::nullopt;
}

double lengthInMetres(SplitDistance distance) {
    return info(distance).metres;
}
std::string_view pickerLabel(SplitDistance distance) {
    return info(distance).picker;
}
std::string_view shortLabel(SplitDistance distance) {
    return info(distance).shortName;
}

std::vector<SplitDistance> offeredSplitDistances(UnitSystem system) {
    if (system == UnitSystem::metric) {
        return {SplitDistance::kilometer, SplitDistance::fourHundredMeters,
                SplitDistance::quarterMile};
    }
    return {SplitDistance::mile, SplitDistance::quarterMile, SplitDistance::fourHundredMeters,
            SplitDistance::oneThousandMeters};
}

}  // namespace vantrel
