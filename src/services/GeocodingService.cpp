#include "services/GeocodingService.h"

#include "logging/PersistentLogger.h"
#include "services/LocationChooser.h"

namespace vantrel::GeocodingService {

namespace {

void report(const Context& context, GeocodeStatus status) {
    if (context.onStatus) context.onStatus(status);
}

GeocodeStatus running(std::string progress, int current = 0, int total = 0) {
    return {true, std::move(progress), current, total, std::nullopt, false};
}

std::vector<RideRef> activitiesWithRoutes(RideStore& store, bool replaceExisting) {
    auto rides = store.activitiesToLocate(!replaceExisting, std::nullopt);
    std::erase_if(rides, [](const RideRef& ride) { return !ride->routeData; });
    return rides;
}

std::string doneText(int processed) {
    return "Done — geocoded " + std::to_string(processed) + " ride" + (processed == 1 ? "" : "s") +
           ".";
}

void finishBatch(const Context& context, int processed, int total) {
    PersistentLogger::shared().log(LogLevel::info, "Geocode",
                                   "Geocoded " + std::to_string(processed) + " ride(s)");
    report(context, {false, doneText(processed), processed, total, kShowDone, true});
}

// Names one activity; false when its route is empty or does not decode.
bool locateOne(RideStore& store, PersistedRide& ride, LocationChooser& chooser) {
    auto route = ride.routePoints();
    if (route.empty()) return false;
    if (auto name = chooser.locationName(route)) {
        ride.city = *name;
        store.autosave();
    }
    return true;
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
    for (std::size_t i = 0; i < rides.size(); ++i) {
        if (token.isCancelled()) break;
        if (rides[i]->routePoints().empty()) continue;
        report(context, running("Geocoding " + std::to_string(processed + 1) + " of " +
                                    std::to_string(total) + "…",
                                processed + 1, total));
        locateOne(store, *rides[i], chooser);
        ++processed;
        if (i + 1 < rides.size() && !context.wait(kPauseBetweenActivities, token)) break;
    }
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
