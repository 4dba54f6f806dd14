#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "model/Preferences.h"
#include "services/Geocoder.h"

namespace vantrel {

/// Asks a primary geocoder and, when it fails to answer, a secondary one. After a failure the
/// primary's server is left alone for a while, so that a missing network costs one time-out
/// rather than one per look-up. Reverse and forward look-ups share one server; areas and place
/// search share another.
class FallbackGeocoder : public Geocoder {
  public:
    using Clock = std::chrono::steady_clock;

    FallbackGeocoder(std::unique_ptr<Geocoder> primary, std::unique_ptr<Geocoder> secondary,
                     Clock::duration pauseAfterFailure = std::chrono::seconds(60));

    /// The application's geocoder: online with the preferences' endpoints, else offline.
    static std::unique_ptr<Geocoder> standard(Preferences& preferences);

    std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate coordinate) override;
    std::optional<std::vector<std::string>> areasOfInterest(CodableCoordinate coordinate) override;
    std::optional<std::vector<Placemark>> geocodeAddress(std::string_view text) override;
    std::optional<std::vector<MapItem>> searchPlaces(std::string_view query,
                                                     const SearchRegion& region) override;

  private:
    enum Server { places, areas };
    template <typename Ask>
    auto ask(Server server, Ask ask) -> decltype(ask(std::declval<Geocoder&>()));

    std::unique_ptr<Geocoder> m_primary;
    std::unique_ptr<Geocoder> m_secondary;
    Clock::duration m_pause;
    std::optional<Clock::time_point> m_failedAt[2];
};

}  // namespace vantrel
