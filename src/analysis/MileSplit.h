#pragma once

namespace vantrel {

/// One row of the split table.
struct MileSplit {
    int number = 0;
    /// Active seconds for one split length; the partial last row is scaled to a full length.
    double pace = 0;
    /// Altitude at the end of the split minus altitude at its start, metres.
    double elevationChange = 0;
    friend bool operator==(const MileSplit&, const MileSplit&) = default;
};

}  // namespace vantrel
