#pragma once

#include "model/Date.h"
#include "model/Uuid.h"

namespace vantrel {

struct CodableCoordinate {
    double latitude = 0;
    double longitude = 0;
    friend bool operator==(const CodableCoordinate&, const CodableCoordinate&) = default;
};

struct RoutePoint {
    Uuid id = Uuid::random();
    CodableCoordinate coordinate;
    double altitude = 0;  // metres; 0 when the source had none
    Date timestamp = 0;
    friend bool operator==(const RoutePoint&, const RoutePoint&) = default;
};

struct HeartRateSample {
    Uuid id = Uuid::random();
    Date timestamp = 0;
    double bpm = 0;
    friend bool operator==(const HeartRateSample&, const HeartRateSample&) = default;
};

struct PowerSample {
    Uuid id = Uuid::random();
    Date timestamp = 0;
    double watts = 0;
    friend bool operator==(const PowerSample&, const PowerSample&) = default;
};

}  // namespace vantrel
