#include "services/SearchRegion.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {
constexpr double kMetersPerDegreeLatitude = 111'320.0;
constexpr double kPi = 3.14159265358979323846;
}  // namespace

SearchRegion::Bounds SearchRegion::bounds() const {
    double halfLat = latitudinalMeters / 2 / kMetersPerDegreeLatitude;
    // Near the poles a degree of longitude shrinks to nothing; keep the box finite there.
    double cosLat = std::max(std::cos(center.latitude * kPi / 180), 0.01);
    double halfLon = longitudinalMeters / 2 / (kMetersPerDegreeLatitude * cosLat);
    return {std::max(center.latitude - halfLat, -90.0),
            std::max(center.longitude - halfLon, -180.0), std::min(center.latitude + halfLat, 90.0),
            std::min(center.longitude + halfLon, 180.0)};
}

}  // namespace vantrel
