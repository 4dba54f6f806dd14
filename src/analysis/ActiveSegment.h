#pragma once

#include "model/Date.h"

namespace vantrel {

/// A stretch of an activity without a pause longer than 90 seconds; both ends are route-point
/// timestamps.
struct ActiveSegment {
    Date start = 0;
    Date end = 0;
    double length() const { return end - start; }
    friend bool operator==(const ActiveSegment&, const ActiveSegment&) = default;
};

}  // namespace vantrel
