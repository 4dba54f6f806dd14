#pragma once

#include "services/Geocoder.h"
#include "services/PlaceTable.h"

namespace vantrel {

/// Names a position after the nearest town of a place table, and finds towns by name ("Bern",
/// "Springfield, United States"… see `PlaceTable::search`); knows no areas and no points of
/// interest. Used when no look-up server answers.
class OfflineGeocoder : public Geocoder {
  public:
    /// Farther than this from any town, a position has no town name.
    static constexpr double kMaxTownDistance = 30'000;
    /// How far the quarters of a town lie from the place that names the whole town.
    static constexpr double kQuarterReach = 15'000;
    /// Towns a search by name answers with at most.
    static constexpr std::size_t kMaxSearchResults = 10;

    explicit OfflineGeocoder(const PlaceTable& places = PlaceTable::shared());

    std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate coordinate) override;
    std::optional<std::vector<std::string>> areasOfInterest(CodableCoordinate coordinate) override;
    std::optional<std::vector<Placemark>> geocodeAddress(std::string_view text) override;
    std::optional<std::vector<MapItem>> searchPlaces(std::string_view query,
                                                     const SearchRegion& region) override;

  private:
    const PlaceTable& m_places;
};

}  // namespace vantrel
