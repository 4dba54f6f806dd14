#pragma once

#include <memory>
#include <optional>

#include "model/Preferences.h"
#include "services/Geocoder.h"

namespace vantrel {

/// Asks a primary geocoder and, when it fails to answer, a secondary one. Which servers are
/// worth asking, and when the network counts as gone, is the primary's business.
class FallbackGeocoder : public Geocoder {
  public:
    FallbackGeocoder(std::unique_ptr<Geocoder> primary, std::unique_ptr<Geocoder> secondary);

    /// The application's geocoder: online with the preferences' endpoints, remembering answers
    /// in the shared cache file, else offline from the place table.
    static std::unique_ptr<Geocoder> standard(Preferences& preferences);

    std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate coordinate) override;
    std::optional<std::vector<std::string>> areasOfInterest(CodableCoordinate coordinate) override;
    /// The primary's places, else the secondary's; "nothing found" only when the primary said
    /// so, so that a missing network is not mistaken for an unknown place.
    std::optional<std::vector<Placemark>> geocodeAddress(std::string_view text) override;
    std::optional<std::vector<MapItem>> searchPlaces(std::string_view query,
                                                     const SearchRegion& region) override;
    std::size_t requestsSent() const override;
    bool isOffline() const override;

  private:
    template <typename Ask>
    auto ask(Ask ask) -> decltype(ask(std::declval<Geocoder&>()));

    std::unique_ptr<Geocoder> m_primary;
    std::unique_ptr<Geocoder> m_secondary;
};

}  // namespace vantrel
