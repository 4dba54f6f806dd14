#pragma once

#include <optional>
#include <vector>

#include "analysis/RideAnalysis.h"

namespace vantrel {

/// Maps instants onto the active-time axis of a list of active segments. Segments built from a
/// route in time order are searched by bisection; segments from out-of-order timestamps are
/// walked one by one, which gives the same answers as the plain definition.
class ActiveTimeline {
  public:
    explicit ActiveTimeline(const std::vector<ActiveSegment>& segments);

    bool empty() const { return m_boundaries.empty(); }
    const std::vector<RideAnalysis::Boundary>& boundaries() const { return m_boundaries; }

    /// Active seconds at `date`; absent in a pause or outside the segments.
    std::optional<double> offset(Date date) const;
    /// Active seconds at `date`, moving an instant in a pause to the nearer edge (earlier on a
    /// tie), one before the first segment to 0 and one after the last to its end.
    std::optional<double> snappedOffset(Date date) const;

  private:
    std::vector<RideAnalysis::Boundary> m_boundaries;
    bool m_ordered = true;

    std::size_t firstEndingAtOrAfter(Date date) const;
    double snapIntoPause(Date date, std::size_t next) const;
    std::optional<double> offsetByWalking(Date date) const;
    std::optional<double> snappedOffsetByWalking(Date date) const;
};

}  // namespace vantrel
