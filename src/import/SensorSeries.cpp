#include "import/SensorSeries.h"

#include <algorithm>

namespace vantrel {

namespace {

void applyPower(PersistedRide& ride, const std::vector<ImportedTrackpoint>& points) {
    std::vector<PowerSample> samples;
    double sum = 0;
    double maximum = 0;
    for (const auto& point : points) {
        if (!point.power) continue;
        samples.push_back({Uuid::random(), point.timestamp, *point.power});
        sum += *point.power;
        maximum = std::max(maximum, *point.power);
    }
    if (samples.empty()) return;
    ride.averagePower = sum / static_cast<double>(samples.size());
    ride.maxPower = maximum;
    ride.setPowerSamples(samples);
}

void applyCadence(PersistedRide& ride, const std::vector<ImportedTrackpoint>& points) {
    double sum = 0;
    std::size_t count = 0;
    for (const auto& point : points) {
        if (!point.cadence || *point.cadence <= 0) continue;
        sum += *point.cadence;
        ++count;
    }
    if (count > 0) ride.averageCadence = sum / static_cast<double>(count);
}

}  // namespace

void applyPowerAndCadence(PersistedRide& ride, const std::vector<ImportedTrackpoint>& points) {
    applyPower(ride, points);
    applyCadence(ride, points);
}

}  // namespace vantrel
