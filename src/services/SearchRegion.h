#pragma once

#include "model/Samples.h"

namespace vantrel {

/// A rectangle around a centre, given by its north–south and east–west extent in metres.
struct SearchRegion {
    CodableCoordinate center;
    double latitudinalMeters = 10'000;
    double longitudinalMeters = 10'000;

    struct Bounds {
        double south, west, north, east;
    };
    /// Degrees of the rectangle, clamped to valid latitudes and longitudes.
    Bounds bounds() const;
};

}  // namespace vantrel
