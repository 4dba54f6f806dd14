#include "services/WeatherService.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <utility>

#include "model/SeriesCodec.h"
#include "model/WeatherSnapshot.h"
#include "services/ActivityWeatherFetcher.h"

namespace vantrel::WeatherService {

namespace {

constexpr const char* kCategory = "Weather";

void report(const Context& context, const WeatherStatus& status) {
    if (context.onStatus) context.onStatus(status);
}

WeatherStatus running(std::string progress, int current = 0, int total = 0) {
    return {true, std::move(progress), current, total, std::nullopt, false};
}

std::string activities(int count) {
    return std::to_string(count) + (count == 1 ? " activity" : " activities");
}

std::string startText(Scope scope) {
    switch (scope) {
        case Scope::missing:
            return "Scanning for activities without weather…";
        case Scope::all:
            return "Fetching weather again for all activities…";
        case Scope::imported:
            return "Fetching weather for the new activities…";
        case Scope::selected:
            break;
    }
    return "Fetching weather for the selected activities…";
}

std::string nothingToDoText(Scope scope) {
    switch (scope) {
        case Scope::missing:
            return "All activities with a route already have weather.";
        case Scope::imported:
            // Nothing was asked for: a background run with nothing to do stays out of sight.
            return {};
        case Scope::all:
        case Scope::selected:
            break;
    }
    return "No activities with a route to fetch weather for.";
}

// Records without their series: a whole history of routes would not fit in memory at once.
std::vector<RideRef> candidates(RideStore& store, Scope scope,
                                const std::vector<std::int64_t>& selection) {
    RideQuery query;
    query.liveOnly = true;
    query.withRouteOnly = true;
    query.withDetails = false;
    query.order = RideQuery::Order::dateDescending;
    std::vector<RideRef> rides = store.fetch(query);
    if (scope == Scope::missing || scope == Scope::imported) {
        std::erase_if(rides, [](const RideRef& r) { return decodeWeather(r->startWeatherData); });
    }
    if (scope == Scope::selected || scope == Scope::imported) {
        std::set<std::int64_t> wanted(selection.begin(), selection.end());
        std::erase_if(rides, [&](const RideRef& r) { return !wanted.count(r->objectID); });
    }
    return rides;
}

void warn(const Context& context, const PersistedRide& ride, const std::string& problem) {
    std::string message =
        "Activity " + ride.rideID.toString() + " of " + formatISO8601(ride.date) + ": " + problem;
    context.logger.log(LogLevel::warn, kCategory, message);
    if (context.onWarning) context.onWarning(message);
}

/// Found snapshots are saved in batches: on a slow disk one transaction per activity costs more
/// than the look-up itself. A crash loses at most the answers of the last second, never a
/// snapshot that was stored.
class BatchedSaves {
  public:
    explicit BatchedSaves(RideStore& store) : m_store(store) {}

    void add(PersistedRide& ride, const ActivityWeather& weather) {
        if (weather.start) ride.startWeatherData = encodeWeather(*weather.start);
        if (weather.end) ride.endWeatherData = encodeWeather(*weather.end);
        ++m_pending;
    }

    bool isDue() const {
        return m_pending >= kMostPending || Clock::now() - m_lastSave >= kLongestWait;
    }

    /// Saves what is pending and counts it; a failed save is the store's fault, not the
    /// activities', and ends the run (`stopReason`). Returns false then.
    bool flush(RunSummary& summary) {
        if (m_pending == 0) return true;
        int pending = std::exchange(m_pending, 0);
        m_lastSave = Clock::now();
        try {
            m_store.save();
            summary.withWeather += pending;
            return true;
        } catch (const StoreError& error) {
            summary.failed += pending;
            summary.stopReason = std::string("The weather could not be saved: ") + error.what();
            return false;
        }
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMostPending = 50;
    static constexpr std::chrono::seconds kLongestWait{1};

    RideStore& m_store;
    int m_pending = 0;
    Clock::time_point m_lastSave = Clock::now();
};

/// Returns false when the run must end.
bool processOne(BatchedSaves& saves, PersistedRide& ride, const std::vector<RoutePoint>& route,
                ActivityWeatherFetcher& fetcher, const Context& context,
                const CancellationToken& token, RunSummary& summary) {
    ActivityWeather weather = fetcher.fetch(route, token);
    for (const auto& problem : weather.problems) warn(context, ride, problem);
    switch (weather.outcome) {
        case ActivityWeather::Outcome::found:
            saves.add(ride, weather);
            return !saves.isDue() || saves.flush(summary);
        case ActivityWeather::Outcome::noData:
            ++summary.noDataYet;
            return true;
        case ActivityWeather::Outcome::failed:
            ++summary.failed;
            return true;
        case ActivityWeather::Outcome::stopRun:
            ++summary.failed;
            summary.stopReason = weather.stopReason;
            return false;
        case ActivityWeather::Outcome::cancelled:
            summary.cancelled = true;
            return false;
    }
    return true;
}

void finish(const Context& context, const RunSummary& summary, int processed, int total) {
    std::string counts = "Fetched weather for " + activities(summary.withWeather) + " (" +
                         std::to_string(summary.noDataYet) + " with no data yet, " +
                         std::to_string(summary.failed) + " failed)";
    context.logger.log(LogLevel::info, kCategory, counts);
    bool changed = summary.withWeather > 0;
    if (summary.stopReason) {
        context.logger.log(LogLevel::error, kCategory, *summary.stopReason);
        report(context, {false, *summary.stopReason, processed, total, kShowStopped, changed});
        return;
    }
    report(context, {false, summaryText(summary), processed, total, kShowDone, changed});
}

}  // namespace

RunSummary fetchWeather(RideStore& store, Scope scope, const std::vector<std::int64_t>& selection,
                        const Context& context, const CancellationToken& token) {
    report(context, running(startText(scope)));
    std::vector<RideRef> rides = candidates(store, scope, selection);
    RunSummary summary;
    if (rides.empty()) {
        std::string text = nothingToDoText(scope);
        report(context, {false, text, 0, 0,
                         text.empty() ? std::nullopt : std::optional(kShowNothingToDo), false});
        return summary;
    }
    int total = static_cast<int>(rides.size());
    int processed = 0;
    ActivityWeatherFetcher fetcher(context.client);
    BatchedSaves saves(store);
    for (RideRef& ride : rides) {
        if (token.isCancelled()) {
            summary.cancelled = true;
            break;
        }
        auto route = decodeRoutePoints(store.storedRouteData(ride->objectID));
        if (!route || route->empty()) continue;
        report(context, running("Fetching weather " + std::to_string(processed + 1) + " of " +
                                    std::to_string(total) + "…",
                                processed + 1, total));
        bool goOn = processOne(saves, *ride, *route, fetcher, context, token, summary);
        if (!summary.cancelled) ++processed;
        // Done with: the store keeps it until saved, then its snapshot copy goes with it.
        ride.reset();
        if (!goOn) break;
    }
    saves.flush(summary);
    finish(context, summary, processed, total);
    return summary;
}

std::string summaryText(const RunSummary& summary) {
    return "Done — weather for " + activities(summary.withWeather) + ", " +
           std::to_string(summary.noDataYet) + " with no data yet, " +
           std::to_string(summary.failed) + " failed.";
}

}  // namespace vantrel::WeatherService
