#include "services/OfflineGeocoder.h"

namespace vantrel {

OfflineGeocoder::OfflineGeocoder(const PlaceTable& places) : m_places(places) {}

namespace {

// The table lists quarters of large towns as places of their own ("Zürich (Kreis 1) /
// Lindenhof"); a nearby place whose name begins the quarter's name is the town itself.
bool isTownOf(const std::string& town, const std::string& quarter) {
    return town.size() < quarter.size() && quarter.compare(0, town.size(), town) == 0 &&
           (quarter[town.size()] == ' ' || quarter[town.size()] == '-');
}

}  // namespace

std::optional<std::vector<Placemark>> OfflineGeocoder::reverseGeocode(
    CodableCoordinate coordinate) {
    auto place = m_places.nearest(coordinate, kMaxTownDistance);
    if (!place) return std::vector<Placemark>{};
    for (const auto& other : m_places.within(place->coordinate, kQuarterReach)) {
        if (isTownOf(other.name, place->name)) place = other;
    }
    Placemark placemark;
    placemark.locality = place->name;
    if (!place->county.empty()) placemark.subAdministrativeArea = place->county;
    placemark.location = place->coordinate;
    return std::vector<Placemark>{placemark};
}

std::optional<std::vector<std::string>> OfflineGeocoder::areasOfInterest(CodableCoordinate) {
    return std::vector<std::string>{};
}

std::optional<std::vector<Placemark>> OfflineGeocoder::geocodeAddress(std::string_view text) {
    std::vector<Placemark> placemarks;
    for (auto& place : m_places.search(text, kMaxSearchResults)) {
        Placemark placemark;
        placemark.locality = std::move(place.name);
        if (!place.county.empty()) placemark.subAdministrativeArea = std::move(place.county);
        if (!place.country.empty()) placemark.country = std::move(place.country);
        placemark.location = place.coordinate;
        placemarks.push_back(std::move(placemark));
    }
    return placemarks;
}

std::optional<std::vector<MapItem>> OfflineGeocoder::searchPlaces(std::string_view,
                                                                  const SearchRegion&) {
    return std::vector<MapItem>{};
}

}  // namespace vantrel
