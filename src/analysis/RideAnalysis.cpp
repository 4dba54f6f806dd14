#include "analysis/RideAnalysis.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "analysis/ActiveTimeline.h"
#include "analysis/GeodesicDistance.h"
#include "model/Preferences.h"

namespace vantrel::RideAnalysis {

namespace {

constexpr double kMinSpeedWindow = 10.0;
constexpr double kMaxSpeedWindow = 30.0;
// A circumnavigation in 400 m splits is about 100,000 rows; garbage coordinates that jump
// between antipodes must not grow the table without bound.
constexpr std::size_t kMaxSplitRows = 1'000'000;

std::string splitPreferenceKey(const Uuid& rideID) {
    return std::string(kSplitDistancePrefix) + rideID.toString();
}

}  // namespace

std::vector<ActiveSegment> activeSegments(const std::vector<RoutePoint>& route) {
    std::vector<ActiveSegment> segments;
    if (route.empty()) return segments;
    ActiveSegment current{route.front().timestamp, route.front().timestamp};
    for (std::size_t i = 1; i < route.size(); ++i) {
        Date time = route[i].timestamp;
        if (time - current.end > kPauseThreshold) {
            segments.push_back(current);
            current.start = time;
        }
        current.end = time;
    }
    segments.push_back(current);
    return segments;
}

std::optional<double> activeOffset(Date date, const std::vector<ActiveSegment>& segments) {
    return ActiveTimeline(segments).offset(date);
}

std::vector<Boundary> boundaries(const std::vector<ActiveSegment>& segments) {
    std::vector<Boundary> result;
    result.reserve(segments.size());
    double total = 0;
    for (const auto& segment : segments) {
        double activeStart = total;
        total += segment.end - segment.start;
        result.push_back({segment.start, segment.end, activeStart, total});
    }
    return result;
}

double activeTime(const std::vector<ActiveSegment>& segments) {
    double total = 0;
    for (const auto& segment : segments) total += segment.length();
    return total;
}

std::vector<RoutePoint> removePauses(const std::vector<RoutePoint>& route,
                                     const std::vector<ActiveSegment>& segments, Date reference) {
    ActiveTimeline timeline(segments);
    std::vector<RoutePoint> result;
    result.reserve(route.size());
    for (const auto& point : route) {
        auto offset = timeline.offset(point.timestamp);
        if (!offset) continue;
        result.push_back({Uuid::random(), point.coordinate, point.altitude, reference + *offset});
    }
    return result;
}

std::vector<HeartRateSample> removePauses(const std::vector<HeartRateSample>& samples,
                                          const std::vector<ActiveSegment>& segments,
                                          Date reference) {
    ActiveTimeline timeline(segments);
    std::vector<HeartRateSample> result;
    result.reserve(samples.size());
    for (const auto& sample : samples) {
        auto offset = timeline.offset(sample.timestamp);
        if (!offset) continue;
        result.push_back({Uuid::random(), reference + *offset, sample.bpm});
    }
    return result;
}

std::vector<HeartRateSample> removePausesSnapping(const std::vector<HeartRateSample>& samples,
                                                  const std::vector<ActiveSegment>& segments,
                                                  Date reference) {
    if (segments.empty()) return samples;
    ActiveTimeline timeline(segments);
    std::vector<HeartRateSample> result;
    result.reserve(samples.size());
    for (const auto& sample : samples) {
        auto offset = timeline.snappedOffset(sample.timestamp);
        if (!offset) continue;
        result.push_back({Uuid::random(), reference + *offset, sample.bpm});
    }
    return result;
}

double splitLength(bool metric, std::optional<SplitDistance> distance) {
    if (distance) return lengthInMetres(*distance);
    return metric ? 1000.0 : 1609.34;
}

namespace {

/// Walks a route and closes a split each time the accumulated distance reaches the length.
class SplitAccumulator {
  public:
    SplitAccumulator(double length, const RoutePoint& first)
        : m_length(length), m_startTime(first.timestamp), m_startAltitude(first.altitude) {}

    void addStep(const RoutePoint& from, const RoutePoint& to) {
        double step = geodesicDistance(from.coordinate, to.coordinate);
        m_distance += step;
        while (m_distance >= m_length && m_splits.size() < kMaxSplitRows) {
            m_distance -= m_length;
            double fraction = step <= 0 ? 1.0 : std::max(0.0, 1.0 - m_distance / step);
            double time =
                (from.timestamp - m_startTime) + fraction * (to.timestamp - from.timestamp);
            double altitude = from.altitude + fraction * (to.altitude - from.altitude);
            close(time, altitude - m_startAltitude);
            m_startTime += time;
            m_startAltitude = altitude;
        }
    }

    std::vector<MileSplit> finish(const RoutePoint& last) {
        if (m_distance >= 0.1 * m_length && m_splits.size() < kMaxSplitRows) {
            double time = last.timestamp - m_startTime;
            double pace = m_distance > 0 ? m_length * time / m_distance : time;
            close(pace, last.altitude - m_startAltitude);
        }
        return std::move(m_splits);
    }

  private:
    double m_length;
    Date m_startTime;
    double m_startAltitude;
    double m_distance = 0;
    std::vector<MileSplit> m_splits;

    void close(double pace, double elevationChange) {
        m_splits.push_back({static_cast<int>(m_splits.size()) + 1, pace, elevationChange});
    }
};

}  // namespace

std::vector<MileSplit> computeSplits(const std::vector<RoutePoint>& route, bool metric,
                                     std::optional<SplitDistance> distance) {
    if (route.size() < 2) return {};
    SplitAccumulator splits(splitLength(metric, distance), route.front());
    for (std::size_t i = 1; i < route.size(); ++i) splits.addStep(route[i - 1], route[i]);
    return splits.finish(route.back());
}

std::optional<double> averagePace(const std::vector<MileSplit>& splits) {
    if (splits.empty()) return std::nullopt;
    double total = 0;
    for (const auto& split : splits) total += split.pace;
    return total / static_cast<double>(splits.size());
}

double averageSpeed(double distance, double activeTime, double duration) {
    double time = activeTime > 0 ? activeTime : duration;
    if (distance > 0 && time > 0) return distance / time;
    return 0;
}

namespace {

/// For each point, taken from the last to the first, finds the first later point at least
/// 10 s after it. Only later points whose timestamp beats every point between are candidates,
/// so the search is a gallop from the nearest candidate: linear on regularly sampled routes and
/// never quadratic, even when timestamps repeat or run backwards.
class WindowEndFinder {
  public:
    explicit WindowEndFinder(const std::vector<RoutePoint>& route) : m_route(route) {}

    void addCandidate(std::size_t index) {
        while (!m_candidates.empty() && time(m_candidates.back()) <= time(index)) {
            m_candidates.pop_back();
        }
        m_candidates.push_back(index);
    }

    std::optional<std::size_t> windowEnd(std::size_t from) const {
        auto reaches = [&](std::size_t position) {
            return time(m_candidates[position]) - time(from) >= kMinSpeedWindow;
        };
        std::size_t knownShort = m_candidates.size();
        for (std::size_t width = 1;; width *= 2) {
            std::size_t probe = knownShort > width ? knownShort - width : 0;
            if (reaches(probe)) return m_candidates[lastReaching(probe, knownShort, reaches)];
            if (probe == 0) return std::nullopt;
            knownShort = probe;
        }
    }

  private:
    const std::vector<RoutePoint>& m_route;
    // Indices falling and timestamps strictly rising from back to front.
    std::vector<std::size_t> m_candidates;

    Date time(std::size_t index) const { return m_route[index].timestamp; }

    template <typename Predicate>
    static std::size_t lastReaching(std::size_t reaching, std::size_t knownShort,
                                    Predicate reaches) {
        while (knownShort - reaching > 1) {
            std::size_t middle = reaching + (knownShort - reaching) / 2;
            (reaches(middle) ? reaching : knownShort) = middle;
        }
        return reaching;
    }
};

}  // namespace

double maxSpeed(const std::vector<RoutePoint>& route) {
    if (route.size() < 2) return 0;
    double best = 0;
    WindowEndFinder finder(route);
    for (std::size_t i = route.size() - 1; i-- > 0;) {
        finder.addCandidate(i + 1);
        auto end = finder.windowEnd(i);
        if (!end) continue;
        double window = route[*end].timestamp - route[i].timestamp;
        if (window >= kMaxSpeedWindow) continue;
        best =
            std::max(best, geodesicDistance(route[i].coordinate, route[*end].coordinate) / window);
    }
    return best;
}

SplitDistance effectiveSplitDistance(std::optional<SplitDistance> current, const Uuid& rideID,
                                     UnitSystem system, Preferences& preferences) {
    if (current) return *current;
    auto stored = preferences.string(splitPreferenceKey(rideID));
    if (stored) {
        if (auto distance = splitDistanceFromRawValue(*stored)) return *distance;
    }
    return system == UnitSystem::metric ? SplitDistance::kilometer : SplitDistance::mile;
}

void rememberSplitDistance(SplitDistance distance, const Uuid& rideID, Preferences& preferences) {
    preferences.setString(splitPreferenceKey(rideID), rawValue(distance));
}

}  // namespace vantrel::RideAnalysis
