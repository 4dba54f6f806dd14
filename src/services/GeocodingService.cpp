#include "services/GeocodingService.h"

#include "logging/PersistentLogger.h"
#include "services/LocationChooser.h"

namespace vantrel::GeocodingService {

namespace {

void report(const Context& context, const GeocodeStatus& status) {
    if (context.onStatus) context.onStatus(status);
}

GeocodeStatus running(std::string progress, int current = 0, int total = 0) {
    return {true, std::move(progress), current, total, std::nullopt, false};
}

// Identifiers rather than records, so that only one activity's series are in memory at a time.
std::vector<Uuid> activitiesWithRoutes(RideStore& store, bool replaceExisting) {
    std::vector<Uuid> candidates;
    for (const auto& ride : store.activitiesToLocate(!replaceExisting, std::nullopt)) {
        candidates.push_back(ride->rideID);
    }
    std::erase_if(candidates, [&](const Uuid& id) {
        auto ride = store.fetchByRideID(id);
        return !ride || !ride->routeData;
    });
    return candidates;
}

std::string doneText(int processed) {
    return "Done — geocoded " + std::to_string(processed) + " ride" + (processed == 1 ? "" : "s") +
           ".";
}

void finishBatch(const Context& context, int processed, int total) {
    context.logger.log(LogLevel::info, "Geocode",
                       "Geocoded " + std::to_string(processed) + " ride(s)");
    report(context, {false, doneText(processed), processed, total, kShowDone, true});
}

void nameActivity(PersistedRide& ride, const std::vector<RoutePoint>& route,
                  LocationChooser& chooser) {
    auto name = chooser.locationName(route);
    // Naming a history again mostly finds the names it has; rewriting them would cost a
    // transaction each.
    if (name && ride.city != name) ride.city = *name;
}

// Names from the cache or the place table come faster than a store commits them one by one
// (a commit waits for the disk), so a run saves at most about once a second; what an interrupted
// run did not save is named again from the cache. A renamed activity stays in memory until it
// is saved, so the count is bounded too.
constexpr std::chrono::milliseconds kSaveEvery{1000};
constexpr int kMostUnsaved = 100;

std::string progressText(const Geocoder& geocoder, int number, int total) {
    if (geocoder.isOffline()) return std::string(kOfflineProgress);
    return "Geocoding " + std::to_string(number) + " of " + std::to_string(total) + "…";
}

}  // namespace

int startGeocoding(RideStore& store, bool replaceExisting, const Context& context,
                   const CancellationToken& token) {
    report(context, running(replaceExisting ? "Re-geocoding all activities…"
                                            : "Scanning for activities without location…"));
    auto rides = activitiesWithRoutes(store, replaceExisting);
    if (rides.empty()) {
        report(context,
               {false, "All activities already have locations.", 0, 0, kShowNothingToDo, false});
        return 0;
    }
    int total = static_cast<int>(rides.size());
    int processed = 0;
    LocationChooser chooser(context.geocoder, token, context.wait);
    auto lastSave = std::chrono::steady_clock::now();
    int unsaved = 0;
    for (std::size_t i = 0; i < rides.size(); ++i) {
        if (token.isCancelled()) break;
        auto ride = store.fetchByRideID(rides[i]);
        auto route = ride ? ride->routePoints() : std::vector<RoutePoint>{};
        if (route.empty()) continue;
        report(context,
               running(progressText(context.geocoder, processed + 1, total), processed + 1, total));
        std::size_t sentBefore = context.geocoder.requestsSent();
        nameActivity(*ride, route, chooser);
        ++processed;
        bool asked = chooser.needsPause(sentBefore);
        auto now = std::chrono::steady_clock::now();
        if (asked || now - lastSave >= kSaveEvery || ++unsaved >= kMostUnsaved) {
            store.autosave();
            lastSave = now;
            unsaved = 0;
        }
        bool more = i + 1 < rides.size();
        if (more && asked && !context.wait(kPauseBetweenActivities, token)) break;
    }
    store.autosave();
    finishBatch(context, processed, total);
    return processed;
}

std::optional<std::string> geocodeSelected(RideStore& store, PersistedRide& ride,
                                           const Context& context, const CancellationToken& token) {
    auto route = ride.routePoints();
    if (route.empty()) return std::nullopt;
    report(context, running("Geocoding selected activity…"));
    LocationChooser chooser(context.geocoder, token, context.wait);
    auto name = chooser.locationName(route);
    if (name) {
        ride.city = *name;
        store.autosave();
    }
    report(context, {true, name ? "Location: " + *name : "No location found", 0, 0,
                     kShowSingleResult, true});
    return name;
}

GeocodeStatus abortGeocoding(CancellationTokenRef& task) {
    if (task) task->cancel();
    task.reset();
    return {};
}

std::optional<std::vector<RoutePoint>> placeAt(PersistedRide& ride, CodableCoordinate coordinate,
                                               bool fromPicker, std::size_t displayedPointCount) {
    if (!fromPicker && ride.routeData) return std::nullopt;
    if (fromPicker && displayedPointCount > 1) return std::nullopt;
    RoutePoint point;
    point.coordinate = coordinate;
    point.altitude = 0;
    point.timestamp = ride.date;
    std::vector<RoutePoint> route{point};
    ride.setRoutePoints(route);
    return route;
}

bool setLocation(PersistedRide& ride, CodableCoordinate coordinate, bool fromPicker,
                 std::size_t displayedPointCount, Geocoder& geocoder) {
    auto route = placeAt(ride, coordinate, fromPicker, displayedPointCount);
    if (!route) return false;
    CancellationToken never;
    LocationChooser chooser(geocoder, never);
    if (auto name = chooser.cityName(*route)) ride.city = *name;
    return true;
}

}  // namespace vantrel::GeocodingService
