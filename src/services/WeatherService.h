#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logging/PersistentLogger.h"
#include "model/Cancellation.h"
#include "model/RideStore.h"
#include "services/WeatherClient.h"
#include "services/WeatherStatus.h"

/// The weather runs of the main window and the command line: snapshots at the start and the
/// end of activities from a weather service. A run works on the calling thread, which must own
/// the store, saves after each activity and reports through `onStatus`.
namespace vantrel::WeatherService {

inline constexpr std::chrono::milliseconds kShowNothingToDo{2000};
inline constexpr std::chrono::milliseconds kShowDone{3000};
inline constexpr std::chrono::milliseconds kShowStopped{10000};

enum class Scope {
    missing,   ///< activities without a start snapshot
    all,       ///< every activity, asking again
    selected,  ///< the activities given by store identifier, asking again
    imported,  ///< those of the activities given that have no start snapshot (after an import)
};

struct Context {
    WeatherClient& client;
    std::function<void(const WeatherStatus&)> onStatus;
    /// Every warning the log gets, as it is logged (the command line prints them).
    std::function<void(const std::string&)> onWarning;
    PersistentLogger& logger;
};

struct RunSummary {
    int withWeather = 0;
    int noDataYet = 0;
    int failed = 0;
    bool cancelled = false;
    /// Why the run ended before its last activity: the service cannot be reached or wants no
    /// more requests, or the store cannot be written.
    std::optional<std::string> stopReason;
};

/// Looks up the weather of the live activities with a route in `scope`, newest first; for
/// `selected` and `imported` only those whose objectID is in `selection`. An activity gets a
/// snapshot for an end only when one was found: a stored snapshot is never replaced by nothing.
/// Stops before the next activity once `token` is cancelled, keeping nothing of the activity under
/// way.
RunSummary fetchWeather(RideStore& store, Scope scope, const std::vector<std::int64_t>& selection,
                        const Context& context, const CancellationToken& token);

/// "Done — weather for 3 activities, 1 with no data yet, 0 failed."
std::string summaryText(const RunSummary& summary);

}  // namespace vantrel::WeatherService
