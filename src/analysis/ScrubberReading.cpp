#include "analysis/ScrubberReading.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vantrel {

namespace {

double clampedProgress(double progress) {
    return std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
}

/// The value of the sample nearest to `target` (the earlier one on a tie).
template <typename Sample, typename ValueOf>
std::optional<double> nearestValue(const std::vector<Sample>& samples, Date target,
                                   ValueOf valueOf) {
    if (samples.empty()) return std::nullopt;
    auto after =
        std::lower_bound(samples.begin(), samples.end(), target,
                         [](const Sample& sample, Date value) { return sample.timestamp < value; });
    if (after == samples.end()) return valueOf(samples.back());
    if (after == samples.begin()) return valueOf(*after);
    auto before = std::prev(after);
    return target - before->timestamp <= after->timestamp - target ? valueOf(*before)
                                                                   : valueOf(*after);
}

/// The instant under the chart's scrubber line.
Date chartInstant(const RideChartData& chart, double progress) {
    return chart.timeOrigin + clampedProgress(progress) * chart.xMax * 60.0;
}

}  // namespace

ScrubberReading readScrubber(const RideDetail& detail, double progress) {
    ScrubberReading reading;
    if (detail.retraceData) {
        const RideRetraceData& retrace = *detail.retraceData;
        reading.waypoint = retrace.waypointAt(progress, retrace.totalMinutes);
    }
    if (reading.waypoint) {
        reading.heartRate = reading.waypoint->heartRate;
    } else if (!detail.heartRateSamples.empty()) {
        reading.heartRate =
            nearestValue(detail.heartRateSamples, chartInstant(detail.chart, progress),
                         [](const HeartRateSample& sample) { return sample.bpm; });
    }
    if (!detail.powerSamples.empty()) {
        reading.power = nearestValue(detail.powerSamples, chartInstant(detail.chart, progress),
                                     [](const PowerSample& sample) { return sample.watts; });
    } else if (reading.waypoint) {
        reading.altitude = reading.waypoint->altitude;
    }
    return reading;
}

std::string formatScrubberReading(const ScrubberReading& reading, UnitSystem system) {
    char text[96];
    std::string result;
    if (reading.heartRate) {
        std::snprintf(text, sizeof text, "%.0f bpm", *reading.heartRate);
        result = text;
    } else {
        result = "-- bpm";
    }
    if (reading.power) {
        std::snprintf(text, sizeof text, " · %.0f W", *reading.power);
        result += text;
    } else if (reading.altitude) {
        bool metric = system == UnitSystem::metric;
        std::snprintf(text, sizeof text, metric ? " · %.0f m" : " · %.0f ft",
                      metric ? *reading.altitude : *reading.altitude * kFeetPerMetre);
        result += text;
    }
    return result;
}

}  // namespace vantrel
