#include "import/MultisportSplitter.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

// Devices stamp records to the whole second but time sessions to the millisecond, so one leg
// may end a moment after the next one starts.
constexpr double kSeamTolerance = 1.0;

Date endOf(const ImportedSession& session) {
    return *session.startTime + *session.elapsedSeconds;
}

bool spans(const ImportedSession& session, Date time) {
    return time >= *session.startTime && time <= endOf(session);
}

bool hasPlacedPointIn(const std::vector<ImportedTrackpoint>& points,
                      const ImportedSession& session) {
    return std::any_of(points.begin(), points.end(), [&](const ImportedTrackpoint& point) {
        return spans(session, point.timestamp) && isValidPosition(point.latitude, point.longitude);
    });
}

bool hasUnplacedPointIn(const std::vector<ImportedTrackpoint>& points,
                        const ImportedSession& session) {
    return std::any_of(points.begin(), points.end(), [&](const ImportedTrackpoint& point) {
        return spans(session, point.timestamp);
    });
}

std::vector<ImportedTrackpoint> pointsIn(const std::vector<ImportedTrackpoint>& points,
                                         const ImportedSession& session) {
    std::vector<ImportedTrackpoint> inside;
    std::copy_if(points.begin(), points.end(), std::back_inserter(inside),
                 [&](const ImportedTrackpoint& point) { return spans(session, point.timestamp); });
    return inside;
}

// A lap belongs to the leg it starts in; the end is left out so that a lap starting where one
// leg meets the next counts once.
std::vector<ImportedLapSummary> lapsIn(const std::vector<ImportedLapSummary>& laps,
                                       const ImportedSession& session) {
    std::vector<ImportedLapSummary> inside;
    std::copy_if(laps.begin(), laps.end(), std::back_inserter(inside),
                 [&](const ImportedLapSummary& lap) {
                     return lap.startTime && *lap.startTime >= *session.startTime &&
                            *lap.startTime < endOf(session);
                 });
    return inside;
}

bool hasStartAndLength(const ImportedSession& session) {
    return session.startTime && std::isfinite(*session.startTime) && session.elapsedSeconds &&
           std::isfinite(*session.elapsedSeconds) && *session.elapsedSeconds > 0;
}

}  // namespace

MultisportSplit MultisportSplitter::split(ImportedActivity activity) {
    std::vector<ImportedSession> legs;
    std::copy_if(activity.sessions.begin(), activity.sessions.end(), std::back_inserter(legs),
                 [](const ImportedSession& session) { return !session.transition; });
    bool oneSport = std::all_of(legs.begin(), legs.end(), [&](const ImportedSession& session) {
        return session.activityType == legs.front().activityType;
    });
    MultisportSplit split;
    if (legs.size() < 2 || oneSport) {
        split.legs.push_back(std::move(activity));
        return split;
    }
    split.warning = whyNotLegs(activity, legs);
    if (split.warning) {
        split.legs.push_back(std::move(activity));
        return split;
    }
    for (const auto& session : legs) split.legs.push_back(legOf(activity, session));
    return split;
}

std::optional<std::string> MultisportSplitter::whyNotLegs(
    const ImportedActivity& activity, const std::vector<ImportedSession>& legs) {
    if (legs.size() > kMaximumLegs) {
        return "more than " + std::to_string(kMaximumLegs) + " sessions of different sports";
    }
    const ImportedSession* previous = nullptr;
    for (const auto& leg : legs) {
        if (!hasStartAndLength(leg)) return std::string("a session has no start or no length");
        if (previous && *leg.startTime < endOf(*previous) - kSeamTolerance) {
            return std::string("sessions overlap or run backwards");
        }
        bool anyPlaced = hasPlacedPointIn(activity.trackpoints, leg);
        if (!anyPlaced && !hasUnplacedPointIn(activity.unplacedPoints, leg)) {
            return std::string("a session lies outside the file's records");
        }
        previous = &leg;
    }
    return std::nullopt;
}

ImportedActivity MultisportSplitter::legOf(const ImportedActivity& activity,
                                           const ImportedSession& session) {
    ImportedActivity leg;
    leg.name = activity.name;
    leg.trackpoints = pointsIn(activity.trackpoints, session);
    leg.unplacedPoints = pointsIn(activity.unplacedPoints, session);
    leg.lapSummaries = lapsIn(activity.lapSummaries, session);
    leg.activityType = session.activityType;
    leg.sessions = {session};
    return leg;
}

}  // namespace vantrel
