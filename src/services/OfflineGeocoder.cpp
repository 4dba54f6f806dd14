#include "services/OfflineGeocoder.h"

namespace vantrel {

OfflineGeocoder::OfflineGeocoder(const PlaceTable& places) : m_places(places) {}

std::optional<std::vector<Placemark>> OfflineGeocoder::reverseGeocode(
    CodableCoordinate coordinate) {
    auto place = m_places.nearest(coordinate, kMaxTownDistance);
    if (!place) return std::vector<Placemark>{};
    Placemark placemark;
    placemark.locality = place->name;
    if (!place->county.empty()) placemark.subAdministrativeArea = place->county;
    placemark.location = place->coordinate;
    return std::vector<Placemark>{placemark};
}

std::optional<std::vector<std::string>> OfflineGeocoder::areasOfInterest(CodableCoordinate) {
    return std::vector<std::string>{};
}

std::optional<std::vector<Placemark>> OfflineGeocoder::geocodeAddress(std::string_view) {
    return std::vector<Placemark>{};
}

std::optional<std::vector<MapItem>> OfflineGeocoder::searchPlaces(std::string_view,
                                                                  const SearchRegion&) {
    return std::vector<MapItem>{};
}

}  // namespace vantrel
