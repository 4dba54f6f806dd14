#include "analysis/GeodesicDistance.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <cmath>
#include <numbers>

namespace vantrel {

namespace {

// Beyond these bounds the local approximation drifts towards a millimetre of error.
constexpr double kLocalStepLimit = 1000.0;
constexpr double kLocalLatitudeLimit = 85.0;
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

/// Distance in the tangent plane at the mid-latitude, scaled by the ellipsoid's meridional and
/// normal radii of curvature there; its error grows with the cube of the step.
double localDistance(const CodableCoordinate& from, const CodableCoordinate& to) {
    static const double a = GeographicLib::Constants::WGS84_a();
    static const double f = GeographicLib::Constants::WGS84_f();
    static const double e2 = f * (2 - f);
    double midLatitude = (from.latitude + to.latitude) / 2 * kRadiansPerDegree;
    double sine = std::sin(midLatitude);
    double w = std::sqrt(1 - e2 * sine * sine);
    double meridional = a * (1 - e2) / (w * w * w);
    double normal = a / w;
    double longitudeStep = std::remainder(to.longitude - from.longitude, 360.0);
    double east = normal * std::cos(midLatitude) * longitudeStep * kRadiansPerDegree;
    double north = meridional * (to.latitude - from.latitude) * kRadiansPerDegree;
    return std::hypot(east, north);
}

}  // namespace

double exactGeodesicDistance(const CodableCoordinate& from, const CodableCoordinate& to) {
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(from.latitude, from.longitude, to.latitude,
                                             to.longitude, metres);
    return metres;
}

double geodesicDistance(const CodableCoordinate& from, const CodableCoordinate& to) {
    if (std::abs(from.latitude) <= kLocalLatitudeLimit &&
        std::abs(to.latitude) <= kLocalLatitudeLimit) {
        double metres = localDistance(from, to);
        if (metres < kLocalStepLimit) return metres;
    }
    return exactGeodesicDistance(from, to);
}

}  // namespace vantrel
