#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logging/PersistentLogger.h"
#include "model/Cancellation.h"
#include "model/PersistedRide.h"
#include "model/RideStore.h"
#include "services/CancellableWait.h"
#include "services/GeocodeStatus.h"
#include "services/Geocoder.h"

/// The locating runs of the main window and the detail view. Each runs on the calling thread,
/// which must own the store, and reports through `onStatus`.
namespace vantrel::GeocodingService {

inline constexpr std::chrono::milliseconds kPauseBetweenActivities{1000};
inline constexpr std::chrono::milliseconds kShowNothingToDo{2000};
inline constexpr std::chrono::milliseconds kShowDone{3000};
inline constexpr std::chrono::milliseconds kShowSingleResult{2000};
/// The progress text of a batch run once the network counts as gone.
inline constexpr std::string_view kOfflineProgress =
    "Offline: naming towns from the built-in place table";

struct Context {
    Geocoder& geocoder;
    /// Where a run over many activities logs how many it named.
    PersistentLogger& logger;
    std::function<void(const GeocodeStatus&)> onStatus;
    /// Every wait of the run: the pauses between activities and between probes.
    WaitFunction wait = waitUnlessCancelled;
};

/// Names the live activities with route data, newest first: every one when `replaceExisting`,
/// else those without a location. Pauses after an activity only when naming it sent requests;
/// once the geocoder is offline the rest are named at once and the progress says so. Stops
/// before the next activity once `token` is cancelled, still logging and reporting the
/// activities processed. Returns that number.
int startGeocoding(RideStore& store, bool replaceExisting, const Context& context,
                   const CancellationToken& token);

/// Names one activity; the found name, or absent (the stored one is kept). Nothing happens for
/// an activity without a route.
std::optional<std::string> geocodeSelected(RideStore& store, PersistedRide& ride,
                                           const Context& context, const CancellationToken& token);

/// Cancels the running task, forgets it and answers the idle state.
GeocodeStatus abortGeocoding(CancellationTokenRef& task);

/// Gives an activity a one-point route at `coordinate` (altitude 0, at the activity's start):
/// refused when the suggestion comes from a photo (`fromPicker` false) and the activity has
/// route data, or when picked and the shown route has more than one point. Returns the new route.
std::optional<std::vector<RoutePoint>> placeAt(PersistedRide& ride, CodableCoordinate coordinate,
                                               bool fromPicker, std::size_t displayedPointCount);

/// `placeAt`, then names the activity after the town there when one is found. Returns whether
/// the route was set. The caller saves.
bool setLocation(PersistedRide& ride, CodableCoordinate coordinate, bool fromPicker,
                 std::size_t displayedPointCount, Geocoder& geocoder);

}  // namespace vantrel::GeocodingService
