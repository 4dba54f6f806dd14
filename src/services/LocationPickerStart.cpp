#include "services/LocationPickerStart.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "model/SeriesCodec.h"

namespace vantrel {

namespace {

constexpr std::string_view kLastPickedKey = "lastPickedLocation";
// Activities looked at on each side in time: a run of indoor sessions rarely lasts longer.
constexpr std::int64_t kNeighboursEachSide = 20;

bool isCoordinate(CodableCoordinate c) {
    return std::isfinite(c.latitude) && std::isfinite(c.longitude) && std::fabs(c.latitude) <= 90 &&
           std::fabs(c.longitude) <= 180;
}

struct Neighbour {
    CodableCoordinate start;
    double apart;
};

/// The first activity of the list (nearest in time first) that has a route, other than `ride`.
std::optional<Neighbour> firstWithRoute(RideStore& store, const PersistedRide& ride,
                                        const RideQuery& query) {
    for (const auto& other : store.fetch(query)) {
        if (other->objectID == ride.objectID) continue;
        auto route = decodeRoutePoints(store.storedRouteData(other->objectID));
        if (route && !route->empty() && isCoordinate(route->front().coordinate)) {
            return Neighbour{route->front().coordinate, std::fabs(other->date - ride.date)};
        }
    }
    return std::nullopt;
}

std::optional<CodableCoordinate> neighbourStart(RideStore& store, const PersistedRide& ride) {
    RideQuery before;
    before.liveOnly = true;
    before.dateBefore = ride.date;
    before.order = RideQuery::Order::dateDescending;
    before.limit = kNeighboursEachSide;
    before.withDetails = false;
    RideQuery after = before;
    after.dateBefore.reset();
    after.dateFrom = ride.date;
    after.order = RideQuery::Order::dateAscending;
    after.limit = kNeighboursEachSide + 1;  // the activity itself may be among them
    auto earlier = firstWithRoute(store, ride, before);
    auto later = firstWithRoute(store, ride, after);
    if (earlier && (!later || earlier->apart <= later->apart)) return earlier->start;
    if (later) return later->start;
    return std::nullopt;
}

std::optional<double> number(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<CodableCoordinate> locationPickerStart(RideStore& store, const PersistedRide& ride,
                                                     std::optional<CodableCoordinate> lastPicked) {
    if (auto route = ride.routePoints(); !route.empty() && isCoordinate(route.front().coordinate)) {
        return route.front().coordinate;
    }
    if (ride.mapCenterLat && ride.mapCenterLon) {
        CodableCoordinate center{*ride.mapCenterLat, *ride.mapCenterLon};
        if (isCoordinate(center)) return center;
    }
    if (lastPicked && isCoordinate(*lastPicked)) return lastPicked;
    try {
        return neighbourStart(store, ride);
    } catch (const StoreError&) {
        // A store that cannot be read has no neighbours to offer; the picker opens on the world.
        return std::nullopt;
    }
}

std::optional<CodableCoordinate> lastPickedLocation(Preferences& preferences) {
    auto text = preferences.string(kLastPickedKey);
    if (!text) return std::nullopt;
    auto comma = text->find(',');
    if (comma == std::string::npos) return std::nullopt;
    auto latitude = number(std::string_view(*text).substr(0, comma));
    auto longitude = number(std::string_view(*text).substr(comma + 1));
    if (!latitude || !longitude || !isCoordinate({*latitude, *longitude})) return std::nullopt;
    return CodableCoordinate{*latitude, *longitude};
}

void rememberPickedLocation(Preferences& preferences, CodableCoordinate coordinate) {
    if (!isCoordinate(coordinate)) return;
    std::array<char, 64> buffer{};
    auto* end = buffer.data();
    for (double value : {coordinate.latitude, coordinate.longitude}) {
        if (end != buffer.data()) *end++ = ',';
        end = std::to_chars(end, buffer.data() + buffer.size(), value).ptr;
    }
    preferences.setString(kLastPickedKey, std::string_view(buffer.data(), end - buffer.data()));
}

}  // namespace vantrel
