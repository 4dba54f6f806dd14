#include "analysis/GeodesicDistance.h"

#include <GeographicLib/Geodesic.hpp>

namespace vantrel {

double geodesicDistance(const CodableCoordinate& from, const CodableCoordinate& to) {
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(from.latitude, from.longitude, to.latitude,
                                             to.longitude, metres);
    return metres;
}

}  // namespace vantrel
