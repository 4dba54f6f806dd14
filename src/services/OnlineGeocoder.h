#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "model/Preferences.h"
#include "services/Geocoder.h"
#include "services/HttpClient.h"
#include "services/RequestPacer.h"

namespace vantrel {

/// Look-ups over the network: reverse and forward geocoding from a Nominatim server, enclosing
/// areas and place search from an Overpass server.
class OnlineGeocoder : public Geocoder {
  public:
    static constexpr const char* kDefaultNominatimURL = "https://nominatim.openstreetmap.org";
    static constexpr const char* kDefaultOverpassURL = "https://overpass-api.de/api/interpreter";
    /// The public servers allow one request per second.
    static constexpr std::chrono::milliseconds kPublicServerInterval{1000};

    struct Settings {
        std::string nominatimURL = kDefaultNominatimURL;
        std::string overpassURL = kDefaultOverpassURL;
        std::chrono::milliseconds nominatimInterval = kPublicServerInterval;
        std::chrono::milliseconds overpassInterval = kPublicServerInterval;
        HttpClient::Options http = defaultHttpOptions();

        /// Endpoints from "nominatimURL" and "overpassURL"; the one-per-second pacing applies to
        /// the public servers only, not to one's own.
        static Settings fromPreferences(Preferences& preferences);
        static HttpClient::Options defaultHttpOptions();
    };

    explicit OnlineGeocoder(Settings settings, RequestPacer::Sleep sleep = {});

    std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate coordinate) override;
    std::optional<std::vector<std::string>> areasOfInterest(CodableCoordinate coordinate) override;
    std::optional<std::vector<Placemark>> geocodeAddress(std::string_view text) override;
    std::optional<std::vector<MapItem>> searchPlaces(std::string_view query,
                                                     const SearchRegion& region) override;

    /// The Overpass queries sent, exposed so that their shape can be checked.
    static std::string areasQuery(CodableCoordinate coordinate);
    static std::string placesQuery(std::string_view query, const SearchRegion& region);

  private:
    std::optional<std::string> askNominatim(const std::string& pathAndQuery);
    std::optional<std::string> askOverpass(const std::string& query);

    Settings m_settings;
    HttpClient m_http;
    RequestPacer m_nominatimPacer;
    RequestPacer m_overpassPacer;
};

}  // namespace vantrel
