#include "services/FallbackGeocoder.h"

#include "services/OfflineGeocoder.h"
#include "services/OnlineGeocoder.h"

namespace vantrel {

FallbackGeocoder::FallbackGeocoder(std::unique_ptr<Geocoder> primary,
                                   std::unique_ptr<Geocoder> secondary,
                                   Clock::duration pauseAfterFailure)
    : m_primary(std::move(primary)),
      m_secondary(std::move(secondary)),
      m_pause(pauseAfterFailure) {}

std::unique_ptr<Geocoder> FallbackGeocoder::standard(Preferences& preferences) {
    return std::make_unique<FallbackGeocoder>(
        std::make_unique<OnlineGeocoder>(OnlineGeocoder::Settings::fromPreferences(preferences)),
        std::make_unique<OfflineGeocoder>());
}

template <typename Ask>
auto FallbackGeocoder::ask(Server server, Ask ask) -> decltype(ask(std::declval<Geocoder&>())) {
    auto& failedAt = m_failedAt[server];
    bool resting = failedAt && Clock::now() - *failedAt < m_pause;
    if (!resting) {
        if (auto answer = ask(*m_primary)) {
            failedAt.reset();
            return answer;
        }
        failedAt = Clock::now();
    }
    return ask(*m_secondary);
}

std::optional<std::vector<Placemark>> FallbackGeocoder::reverseGeocode(
    CodableCoordinate coordinate) {
    return ask(places, [&](Geocoder& g) { return g.reverseGeocode(coordinate); });
}

std::optional<std::vector<std::string>> FallbackGeocoder::areasOfInterest(
    CodableCoordinate coordinate) {
    return ask(areas, [&](Geocoder& g) { return g.areasOfInterest(coordinate); });
}

std::optional<std::vector<Placemark>> FallbackGeocoder::geocodeAddress(std::string_view text) {
    return ask(places, [&](Geocoder& g) { return g.geocodeAddress(text); });
}

std::optional<std::vector<MapItem>> FallbackGeocoder::searchPlaces(std::string_view query,
                                                                   const SearchRegion& region) {
    return ask(areas, [&](Geocoder& g) { return g.searchPlaces(query, region); });
}

}  // namespace vantrel
