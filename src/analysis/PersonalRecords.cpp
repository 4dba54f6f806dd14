#include "analysis/PersonalRecords.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/GeodesicDistance.h"
#include "analysis/PowerAnalysis.h"
#include "analysis/RideAnalysis.h"
#include "model/ActivityKindGroup.h"
#include "model/AveragePace.h"

namespace vantrel::PersonalRecords {

namespace {

enum class Scope { foot, cycling, every };

struct RecordInfo {
    RecordKind kind;
    std::string_view raw;
    std::string_view name;
    Scope scope;
    double window;  // metres; 0 for records not measured on the route
    // Seconds: a best faster than this is no effort of a person on foot or on a bike, but a
    // ride typed as a run, a car journey or a broken recording. 0 where nothing is too fast.
    double fastestPossible;
};

// The men's world records on foot, rounded down.
constexpr double kFastest400m = 43;
constexpr double kFastest1km = 2 * 60 + 11;
constexpr double kFastestMile = 3 * 60 + 43;
constexpr double kFastest5km = 12 * 60 + 35;
constexpr double kFastest10km = 26 * 60 + 11;
constexpr double kFastestHalfMarathon = 56 * 60 + 40;
constexpr double kFastestMarathon = 2 * 3600 + 35;
// Held for 20 km, only a motor-paced or downhill ride goes faster.
constexpr double kFastestCyclingMetresPerSecond = 80 / 3.6;

constexpr std::array<RecordInfo, kRecordKindCount> kRecords = {{
    {RecordKind::fastest400m, "fastest400m", "Fastest 400 m", Scope::foot, 400, kFastest400m},
    {RecordKind::fastest1km, "fastest1km", "Fastest 1 km", Scope::foot, 1000, kFastest1km},
    {RecordKind::fastestMile, "fastestMile", "Fastest mile", Scope::foot, 1609.344, kFastestMile},
    {RecordKind::fastest5km, "fastest5km", "Fastest 5 km", Scope::foot, 5000, kFastest5km},
    {RecordKind::fastest10km, "fastest10km", "Fastest 10 km", Scope::foot, 10000, kFastest10km},
    {RecordKind::fastestHalfMarathon, "fastestHalfMarathon", "Fastest half marathon", Scope::foot,
     21097.5, kFastestHalfMarathon},
    {RecordKind::fastestMarathon, "fastestMarathon", "Fastest marathon", Scope::foot, 42195,
     kFastestMarathon},
    {RecordKind::fastest20km, "fastest20km", "Fastest 20 km", Scope::cycling, 20000,
     20000 / kFastestCyclingMetresPerSecond},
    {RecordKind::fastest40km, "fastest40km", "Fastest 40 km", Scope::cycling, 40000,
     40000 / kFastestCyclingMetresPerSecond},
    {RecordKind::longestDistance, "longestDistance", "Longest distance", Scope::cycling, 0, 0},
    {RecordKind::largestElevationGain, "largestElevationGain", "Largest elevation gain",
     Scope::cycling, 0, 0},
    {RecordKind::longestDuration, "longestDuration", "Longest duration", Scope::every, 0, 0},
    {RecordKind::power5s, "power5s", "Best 5 s power", Scope::cycling, 0, 0},
    {RecordKind::power1min, "power1min", "Best 1 min power", Scope::cycling, 0, 0},
    {RecordKind::power5min, "power5min", "Best 5 min power", Scope::cycling, 0, 0},
    {RecordKind::power20min, "power20min", "Best 20 min power", Scope::cycling, 0, 0},
    {RecordKind::power60min, "power60min", "Best 60 min power", Scope::cycling, 0, 0},
}};

const RecordInfo& info(RecordKind kind) {
    return kRecords[static_cast<std::size_t>(kind)];
}

template <typename Kinds>
bool isIn(const Kinds& kinds, ActivityType kind) {
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

/// The route on the active-time axis: cumulative distance and active seconds per point.
struct Track {
    std::vector<double> distance;
    std::vector<double> time;
};

Track activeTrack(const std::vector<RoutePoint>& route) {
    Track track;
    track.distance.reserve(route.size());
    track.time.reserve(route.size());
    const RoutePoint* previous = nullptr;
    double distance = 0, time = 0;
    for (const auto& point : route) {
        if (previous) {
            double gap = point.timestamp - previous->timestamp;
            if (!(gap >= 0)) continue;
            if (gap <= RideAnalysis::kPauseThreshold) {
                double step = geodesicDistance(previous->coordinate, point.coordinate);
                if (std::isfinite(step)) distance += step;
                time += gap;
            }
        }
        track.distance.push_back(distance);
        track.time.push_back(time);
        previous = &point;
    }
    return track;
}

/// Time at distance `at`, between point `i` and the next one (`at` within their distances).
double timeAt(const Track& track, std::size_t i, double at) {
    double from = track.distance[i];
    if (at <= from || i + 1 >= track.distance.size()) return track.time[i];
    double to = track.distance[i + 1];
    double share = (at - from) / (to - from);
    return track.time[i] + share * (track.time[i + 1] - track.time[i]);
}

/// The fastest window found so far: its start on the active-time axis and its duration.
struct Window {
    double start = 0;
    double duration = std::numeric_limits<double>::infinity();

    void offer(double from, double to) {
        double length = to - from;
        if (length > 0 && length < duration) {
            start = from;
            duration = length;
        }
    }
};

/// Time along the track is piecewise linear in distance, so the duration of a window is too,
/// and its minimum lies where one end of the window is on a point: both cases are walked with
/// one forward-moving index each.
Window fastestOnTrack(const Track& track, double window) {
    const auto& d = track.distance;
    const auto& t = track.time;
    const std::size_t n = d.size();
    Window best;
    // Windows ending on point j, starting at the last point at or before d[j] - window.
    std::size_t i = 0;
    for (std::size_t j = 0; j < n; ++j) {
        double start = d[j] - window;
        if (start < d[0]) continue;
        while (i + 1 < j && d[i + 1] <= start) ++i;
        best.offer(timeAt(track, i, start), t[j]);
    }
    // Windows starting on point i, ending at the first point at or after d[i] + window.
    std::size_t j = 0;
    for (i = 0; i < n; ++i) {
        double end = d[i] + window;
        if (end > d[n - 1]) break;
        if (j < i) j = i;
        while (d[j] < end) ++j;
        best.offer(t[i], d[j] == end ? t[j] : timeAt(track, j - 1, end));
    }
    return best;
}

std::optional<Window> fastestWindowOrNone(const Track& track, double window) {
    if (track.distance.size() < 2 || track.distance.back() < window) return std::nullopt;
    Window best = fastestOnTrack(track, window);
    if (best.duration == std::numeric_limits<double>::infinity()) return std::nullopt;
    return best;
}

std::optional<double> fastestOnTrackOrNone(const Track& track, double window) {
    std::optional<Window> best = fastestWindowOrNone(track, window);
    if (!best) return std::nullopt;
    return best->duration;
}

std::optional<double> powerValue(double seconds, const ActivityBests& activity) {
    const auto& durations = PowerCurve::standardDurations();
    auto found = std::find(durations.begin(), durations.end(), seconds);
    auto index = static_cast<std::size_t>(found - durations.begin());
    if (index >= activity.powerCurve.size()) return std::nullopt;
    auto watts = activity.powerCurve[index];
    return watts && *watts > 0 ? watts : std::nullopt;
}

/// The record's value for one activity; absent when it holds none.
std::optional<double> valueOf(RecordKind kind, const ActivityBests& activity) {
    if (auto seconds = powerDuration(kind)) return powerValue(*seconds, activity);
    switch (kind) {
        case RecordKind::longestDistance:
            return activity.distance > 0 ? std::optional(activity.distance) : std::nullopt;
        case RecordKind::largestElevationGain:
            return activity.elevationGain > 0 ? std::optional(activity.elevationGain)
                                              : std::nullopt;
        case RecordKind::longestDuration:
            return activity.duration > 0 ? std::optional(activity.duration) : std::nullopt;
        default:
            break;
    }
    const auto& kinds = routeRecordKinds();
    auto found = std::find(kinds.begin(), kinds.end(), kind);
    auto index = static_cast<std::size_t>(found - kinds.begin());
    if (found == kinds.end() || index >= activity.route.size()) return std::nullopt;
    return activity.route[index];
}

bool beats(RecordKind kind, double value, Date date, const PersonalRecord& held) {
    if (value == held.value) return date < held.date;
    return windowDistance(kind) ? value < held.value : value > held.value;
}

}  // namespace

KindFilter KindFilter::everything() {
    KindFilter filter;
    filter.m_everything = true;
    return filter;
}

KindFilter KindFilter::of(std::initializer_list<ActivityType> kinds) {
    KindFilter filter;
    for (auto kind : kinds) filter.m_kinds.set(static_cast<std::size_t>(kind));
    return filter;
}

std::optional<KindFilter> KindFilter::fromText(std::string_view text) {
    auto kinds = kindsNamed(text);
    if (!kinds) return std::nullopt;
    KindFilter filter;
    for (auto kind : *kinds) filter.m_kinds.set(static_cast<std::size_t>(kind));
    return filter;
}

void KindFilter::add(const KindFilter& other) {
    m_everything = m_everything || other.m_everything;
    m_kinds |= other.m_kinds;
}

bool KindFilter::contains(std::optional<ActivityType> kind) const {
    if (m_everything) return true;
    return kind && m_kinds.test(static_cast<std::size_t>(*kind));
}

const std::array<RecordKind, kRecordKindCount>& allRecordKinds() {
    static const auto kinds = [] {
        std::array<RecordKind, kRecordKindCount> result{};
        for (std::size_t i = 0; i < kRecords.size(); ++i) result[i] = kRecords[i].kind;
        return result;
    }();
    return kinds;
}

std::string_view rawValue(RecordKind kind) {
    return info(kind).raw;
}

std::string_view displayName(RecordKind kind) {
    return info(kind).name;
}

RecordUnit unit(RecordKind kind) {
    switch (kind) {
        case RecordKind::longestDistance:
        case RecordKind::largestElevationGain:
            return RecordUnit::metres;
        default:
            return powerDuration(kind) ? RecordUnit::watts : RecordUnit::seconds;
    }
}

std::optional<double> powerDuration(RecordKind kind) {
    for (const auto& duration : kBestPowerDurations) {
        if (duration.key == rawValue(kind)) return duration.seconds;
    }
    return std::nullopt;
}

std::optional<double> windowDistance(RecordKind kind) {
    double window = info(kind).window;
    return window > 0 ? std::optional(window) : std::nullopt;
}

bool appliesTo(RecordKind kind, std::optional<ActivityType> activityType) {
    switch (info(kind).scope) {
        case Scope::every:
            return true;
        case Scope::foot:
            return activityType && isFootKind(*activityType);
        case Scope::cycling:
            return activityType && isIn(kindsOf(ActivityKindGroup::cycling), *activityType);
    }
    return false;
}

bool isPossible(RecordKind kind, double value) {
    return !(value < info(kind).fastestPossible);
}

std::size_t impossibleBestCount(const std::vector<ActivityBests>& activities) {
    std::size_t count = 0;
    for (const auto& activity : activities) {
        for (auto kind : routeRecordKinds()) {
            if (!appliesTo(kind, activity.activityType)) continue;
            auto value = valueOf(kind, activity);
            if (value && !isPossible(kind, *value)) ++count;
        }
    }
    return count;
}

std::string_view countedKinds(RecordKind kind) {
    switch (info(kind).scope) {
        case Scope::foot:
            return "Running and walking";
        case Scope::cycling:
            return "Cycling";
        case Scope::every:
            return "Every activity";
    }
    return {};
}

std::string formattedValue(const PersonalRecord& record, UnitSystem system) {
    switch (record.kind) {
        case RecordKind::longestDistance:
            return formatDistance(record.value, system);
        case RecordKind::largestElevationGain:
            return formatElevationGain(record.value, system);
        case RecordKind::power5s:
        case RecordKind::power1min:
        case RecordKind::power5min:
        case RecordKind::power20min:
        case RecordKind::power60min:
            return std::to_string(std::lround(record.value)) + " W";
        default:
            // A time measured as 239.9999 s is the 4:00 it stands for, not 3:59.
            return formatDuration(std::round(record.value));
    }
}

const std::vector<RecordKind>& routeRecordKinds() {
    static const auto kinds = [] {
        std::vector<RecordKind> result;
        for (const auto& record : kRecords) {
            if (record.window > 0) result.push_back(record.kind);
        }
        return result;
    }();
    return kinds;
}

std::optional<double> fastestTime(const std::vector<RoutePoint>& route, double distance) {
    return fastestOnTrackOrNone(activeTrack(route), distance);
}

std::optional<Stretch> fastestStretch(const std::vector<RoutePoint>& route, double distance) {
    std::optional<Window> best = fastestWindowOrNone(activeTrack(route), distance);
    if (!best) return std::nullopt;
    return Stretch{best->start, best->start + best->duration};
}

RouteBests routeBests(const std::vector<RoutePoint>& route) {
    Track track = activeTrack(route);
    RouteBests bests;
    for (auto kind : routeRecordKinds())
        bests.push_back(fastestOnTrackOrNone(track, *windowDistance(kind)));
    return bests;
}

std::vector<PersonalRecord> bestRecords(const std::vector<ActivityBests>& activities,
                                        const KindFilter& filter) {
    std::array<std::optional<PersonalRecord>, kRecordKindCount> held;
    for (const auto& activity : activities) {
        if (!filter.contains(activity.activityType)) continue;
        for (auto kind : allRecordKinds()) {
            if (!appliesTo(kind, activity.activityType)) continue;
            auto value = valueOf(kind, activity);
            if (!value || !isPossible(kind, *value)) continue;
            auto& slot = held[static_cast<std::size_t>(kind)];
            if (slot && !beats(kind, *value, activity.date, *slot)) continue;
            slot =
                PersonalRecord{kind, *value, activity.rideID, activity.date, activity.activityType};
        }
    }
    std::vector<PersonalRecord> records;
    for (const auto& slot : held) {
        if (slot) records.push_back(*slot);
    }
    return records;
}

}  // namespace vantrel::PersonalRecords
