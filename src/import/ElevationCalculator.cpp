#include "import/ElevationCalculator.h"

namespace vantrel {

void ElevationCalculator::addAltitude(double altitude) {
    if (!m_lastAltitude) {
        m_lastAltitude = altitude;
        return;
    }
    double change = altitude - *m_lastAltitude;
    if (change > kNoiseThreshold) {
        m_totalElevationGain += change;
        m_lastAltitude = altitude;
    } else if (change < -kNoiseThreshold) {
        // A real descent moves the reference down so the next climb counts from the valley.
        m_lastAltitude = altitude;
    }
}

}  // namespace vantrel
