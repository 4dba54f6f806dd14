#pragma once

#include <optional>

namespace vantrel {

/// The chart's drag position as a progress from 0 to 1, shared with the map marker and trim.
struct ChartScrubber {
    /// Absent while no position is chosen.
    std::optional<double> progress;
    /// The drag has ended.
    bool settled = false;

    /// A drag at `locationX` over a plot whose frame starts at `plotLeft` and is `plotWidth`
    /// wide (both in the chart's coordinates). A frame without width leaves the progress as is.
    void changed(double locationX, double plotLeft, double plotWidth);
    void ended() { settled = true; }
    void clear();

    /// Where the scrubber line is drawn on the chart's time axis.
    std::optional<double> lineX(double xMax) const;
};

}  // namespace vantrel
