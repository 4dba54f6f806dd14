#include "analysis/RideRetraceData.h"

#include <algorithm>
#include <cmath>

#include "analysis/GeodesicDistance.h"

namespace vantrel {

namespace {

constexpr double kHeartRateReach = 30.0;

/// Heart-rate readings sorted by time, searched by bisection.
class HeartRateTimeline {
  public:
    explicit HeartRateTimeline(const std::vector<HeartRateSample>& samples) {
        std::vector<HeartRateSample> sorted = samples;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
        m_times.reserve(sorted.size());
        m_bpm.reserve(sorted.size());
        for (const auto& sample : sorted) {
            m_times.push_back(sample.timestamp);
            m_bpm.push_back(sample.bpm);
        }
    }

    std::optional<double> nearest(Date time) const {
        if (m_times.empty()) return std::nullopt;
        auto k = static_cast<std::size_t>(std::lower_bound(m_times.begin(), m_times.end(), time) -
                                          m_times.begin());
        std::size_t before = std::max<std::size_t>(k, 1) - 1;
        std::size_t after = std::min(k, m_times.size() - 1);
        // Visiting the earlier sample first and replacing only on a strictly nearer one makes
        // the earlier reading win a tie.
        std::optional<std::size_t> best;
        double bestDistance = kHeartRateReach;
        for (std::size_t index : {before, after}) {
            double distance = std::abs(m_times[index] - time);
            if (distance < bestDistance) {
                best = index;
                bestDistance = distance;
            }
        }
        if (!best) return std::nullopt;
        return m_bpm[*best];
    }

  private:
    std::vector<Date> m_times;
    std::vector<double> m_bpm;
};

double lerp(double from, double to, double fraction) {
    return from + (to - from) * fraction;
}

RideRetraceData::Waypoint interpolate(const RideRetraceData::Waypoint& from,
                                      const RideRetraceData::Waypoint& to, double target) {
    double fraction = (target - from.elapsedMinutes) / (to.elapsedMinutes - from.elapsedMinutes);
    RideRetraceData::Waypoint result;
    result.coordinate = {lerp(from.coordinate.latitude, to.coordinate.latitude, fraction),
                         lerp(from.coordinate.longitude, to.coordinate.longitude, fraction)};
    result.elapsedMinutes = target;
    result.cumulativeMeters = lerp(from.cumulativeMeters, to.cumulativeMeters, fraction);
    result.heartRate = fraction < 0.5 ? from.heartRate : to.heartRate;
    result.altitude = lerp(from.altitude, to.altitude, fraction);
    return result;
}

}  // namespace

RideRetraceData RideRetraceData::build(const std::vector<RoutePoint>& route,
                                       const std::vector<HeartRateSample>& heartRate,
                                       Date reference) {
    RideRetraceData data;
    if (route.empty()) return data;
    HeartRateTimeline readings(heartRate);
    data.waypoints.reserve(route.size());
    double cumulative = 0;
    for (std::size_t i = 0; i < route.size(); ++i) {
        const RoutePoint& point = route[i];
        if (i > 0) cumulative += geodesicDistance(route[i - 1].coordinate, point.coordinate);
        data.waypoints.push_back({point.coordinate, (point.timestamp - reference) / 60.0,
                                  cumulative, readings.nearest(point.timestamp), point.altitude});
    }
    data.totalMinutes = data.waypoints.back().elapsedMinutes;
    return data;
}

std::optional<RideRetraceData::Waypoint> RideRetraceData::waypointAt(double progress,
                                                                     double axisMinutes) const {
    if (waypoints.empty()) return std::nullopt;
    if (waypoints.size() == 1) return waypoints.front();
    // A progress that is not a number leaves the marker at the start rather than nowhere.
    double clamped = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    double target = axisMinutes * clamped;
    std::size_t lo = 0;
    std::size_t hi = waypoints.size() - 1;
    while (lo < hi - 1) {
        std::size_t mid = (lo + hi) / 2;
        (waypoints[mid].elapsedMinutes <= target ? lo : hi) = mid;
    }
    if (target <= waypoints[lo].elapsedMinutes) return waypoints[lo];
    if (waypoints[hi].elapsedMinutes <= target) return waypoints[hi];
    if (!(waypoints[hi].elapsedMinutes - waypoints[lo].elapsedMinutes > 0)) return waypoints[lo];
    return interpolate(waypoints[lo], waypoints[hi], target);
}

}  // namespace vantrel
