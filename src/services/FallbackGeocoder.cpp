#include "services/FallbackGeocoder.h"

#include "services/GeocodeCache.h"
#include "services/OfflineGeocoder.h"
#include "services/OnlineGeocoder.h"

namespace vantrel {

FallbackGeocoder::FallbackGeocoder(std::unique_ptr<Geocoder> primary,
                                   std::unique_ptr<Geocoder> secondary)
    : m_primary(std::move(primary)), m_secondary(std::move(secondary)) {}

std::unique_ptr<Geocoder> FallbackGeocoder::standard(Preferences& preferences) {
    auto settings = OnlineGeocoder::Settings::fromPreferences(preferences);
    settings.cache = std::make_shared<GeocodeCache>(GeocodeCache::defaultFile());
    return std::make_unique<FallbackGeocoder>(std::make_unique<OnlineGeocoder>(settings),
                                              std::make_unique<OfflineGeocoder>());
}

template <typename Ask>
auto FallbackGeocoder::ask(Ask ask) -> decltype(ask(std::declval<Geocoder&>())) {
    if (auto answer = ask(*m_primary)) return answer;
    return ask(*m_secondary);
}

std::optional<std::vector<Placemark>> FallbackGeocoder::reverseGeocode(
    CodableCoordinate coordinate) {
    return ask([&](Geocoder& g) { return g.reverseGeocode(coordinate); });
}

std::optional<std::vector<std::string>> FallbackGeocoder::areasOfInterest(
    CodableCoordinate coordinate) {
    return ask([&](Geocoder& g) { return g.areasOfInterest(coordinate); });
}

std::optional<std::vector<Placemark>> FallbackGeocoder::geocodeAddress(std::string_view text) {
    auto primary = m_primary->geocodeAddress(text);
    if (primary && !primary->empty()) return primary;
    auto secondary = m_secondary->geocodeAddress(text);
    if (secondary && !secondary->empty()) return secondary;
    return primary;
}

std::optional<std::vector<MapItem>> FallbackGeocoder::searchPlaces(std::string_view query,
                                                                   const SearchRegion& region) {
    return ask([&](Geocoder& g) { return g.searchPlaces(query, region); });
}

std::size_t FallbackGeocoder::requestsSent() const {
    return m_primary->requestsSent() + m_secondary->requestsSent();
}

bool FallbackGeocoder::isOffline() const {
    return m_primary->isOffline();
}

}  // namespace vantrel
