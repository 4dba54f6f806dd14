#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/ActivityType.h"
#include "model/Date.h"
#include "model/Samples.h"
#include "model/UnitSystem.h"
#include "model/Uuid.h"

namespace vantrel {

/// The personal records kept over a history, in the order they are listed.
enum class RecordKind {
    fastest400m,
    fastest1km,
    fastestMile,
    fastest5km,
    fastest10km,
    fastestHalfMarathon,
    fastestMarathon,
    fastest20km,
    fastest40km,
    longestDistance,
    largestElevationGain,
    longestDuration,
    power5s,
    power1min,
    power5min,
    power20min,
    power60min,
};

inline constexpr int kRecordKindCount = 17;

/// What a record's value measures.
enum class RecordUnit { seconds, metres, watts };

/// One record over a history: the best value and the activity that holds it.
struct PersonalRecord {
    RecordKind kind = RecordKind::longestDuration;
    double value = 0;
    Uuid rideID;
    Date date = 0;
    std::optional<ActivityType> activityType;
    friend bool operator==(const PersonalRecord&, const PersonalRecord&) = default;
};

/// The records of single activities and of a whole history. Pure functions.
namespace PersonalRecords {

/// A set of activity kinds to take records from; records of activities whose kind is unknown count
/// only when the set takes every activity.
class KindFilter {
  public:
    /// Every activity, whatever its kind.
    static KindFilter everything();
    /// Parses "cycling", "running" or "swimming" as every kind of that group (so "cycling" is
    /// not only the plain kind), else a kind's raw value ("trailRunning"); absent otherwise.
    static std::optional<KindFilter> fromText(std::string_view text);
    static KindFilter of(std::initializer_list<ActivityType> kinds);

    /// Adds the kinds of `other` (everything stays everything).
    void add(const KindFilter& other);
    bool contains(std::optional<ActivityType> kind) const;
    bool takesEverything() const { return m_everything; }

  private:
    bool m_everything = false;
    std::bitset<kActivityTypeCount> m_kinds;
};

/// Every record kind, in listing order.
const std::array<RecordKind, kRecordKindCount>& allRecordKinds();
/// The raw value used in JSON and in the cache ("fastest5km").
std::string_view rawValue(RecordKind kind);
/// The name shown to people ("Fastest 5 km").
std::string_view displayName(RecordKind kind);
RecordUnit unit(RecordKind kind);
/// The distance a fastest-time record covers, in metres; absent for the other records.
std::optional<double> windowDistance(RecordKind kind);
/// The duration a best-power record is held over, in seconds; absent for the other records.
std::optional<double> powerDuration(RecordKind kind);
/// Whether an activity of this kind can hold the record.
bool appliesTo(RecordKind kind, std::optional<ActivityType> activityType);
/// Which kinds can hold the record, as the records table says it: "Running and walking",
/// "Cycling" or "Every activity".
std::string_view countedKinds(RecordKind kind);
/// Whether a person can have done it: a time faster than the men's world record on foot, or
/// above 80 km/h on average on a bike, is no record but a ride typed as a run or a broken
/// recording. Such a best is passed over; its activity still counts at the other distances.
bool isPossible(RecordKind kind, double value);

/// The value as people read it: a time, a distance or an elevation gain in `system`'s units.
std::string formattedValue(const PersonalRecord& record, UnitSystem system);

/// The record kinds measured on the route (the fastest times), in listing order.
const std::vector<RecordKind>& routeRecordKinds();

/// Best time per route record kind (same order as `routeRecordKinds`); absent where the route
/// is shorter than the distance.
using RouteBests = std::vector<std::optional<double>>;

/// The fastest time over `distance` metres anywhere along the route, with pauses taken out:
/// a gap over the pause threshold adds neither time nor distance (a device that lost its
/// signal must not make a record out of ground it never timed). The window's ends are
/// interpolated to the exact distance. Points earlier than the one before them are skipped.
/// Linear in the number of points. Absent when the route is shorter than `distance`.
std::optional<double> fastestTime(const std::vector<RoutePoint>& route, double distance);
/// Where a fastest time was run: seconds on the route's active-time axis (from its first point,
/// pauses taken out as `fastestTime` takes them out).
struct Stretch {
    double start = 0;
    double end = 0;
    friend bool operator==(const Stretch&, const Stretch&) = default;
};
/// The stretch whose time `fastestTime` gives (one of them, when several are as fast).
std::optional<Stretch> fastestStretch(const std::vector<RoutePoint>& route, double distance);
/// `fastestTime` for every route record kind, sharing one walk of the route.
RouteBests routeBests(const std::vector<RoutePoint>& route);

/// What the history's records are chosen from: one activity's stored values and route bests.
struct ActivityBests {
    Uuid rideID;
    Date date = 0;
    std::optional<ActivityType> activityType;
    double distance = 0;
    double duration = 0;
    double elevationGain = 0;
    RouteBests route;
    /// Best mean power at each of `PowerCurve::standardDurations()`; empty without power.
    std::vector<std::optional<double>> powerCurve;
};

/// How many route bests of `activities` the records pass over as impossible (see `isPossible`).
std::size_t impossibleBestCount(const std::vector<ActivityBests>& activities);

/// The best of each record kind over the activities the filter takes, in listing order; kinds
/// that no activity holds are left out. On a tie the earlier activity keeps the record.
std::vector<PersonalRecord> bestRecords(const std::vector<ActivityBests>& activities,
                                        const KindFilter& filter);

}  // namespace PersonalRecords

}  // namespace vantrel
