#pragma once

#include <optional>

namespace vantrel {

/// Accumulates the climb of a sequence of altitudes, ignoring changes of 2 m or less.
class ElevationCalculator {
  public:
    static constexpr double kNoiseThreshold = 2.0;

    void addAltitude(double altitude);
    double totalElevationGain() const { return m_totalElevationGain; }
    double currentElevation() const { return m_currentElevation; }

  private:
    double m_totalElevationGain = 0;
    double m_currentElevation = 0;
    std::optional<double> m_lastAltitude;
};

}  // namespace vantrel
