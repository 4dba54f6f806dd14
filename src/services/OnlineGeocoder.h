#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "model/Preferences.h"
#include "services/GeocodeCache.h"
#include "services/Geocoder.h"
#include "services/HttpClient.h"
#include "services/RequestPacer.h"
#include "services/ServiceHealth.h"

namespace vantrel {

/// Look-ups over the network: reverse and forward geocoding from a Nominatim server, enclosing
/// areas and place search from an Overpass server. Answers are remembered in a cache when one is
/// given (failures never are); coordinates are asked about rounded to 4 decimals (about 11 m),
/// so that a question asked again is the same question. A server that answered badly rests a
/// while, and after 3 connection failures in a row no server is asked again (see
/// `ServiceHealth`); remembered answers still count then.
class OnlineGeocoder : public Geocoder {
  public:
    static constexpr const char* kDefaultNominatimURL = "https://nominatim.openstreetmap.org";
    static constexpr const char* kDefaultOverpassURL = "https://overpass-api.de/api/interpreter";
    /// The public servers allow one request per second.
    static constexpr std::chrono::milliseconds kPublicServerInterval{1000};
    /// Decimals a coordinate is rounded to before it is asked about.
    static constexpr int kQuestionDecimals = 4;

    struct Settings {
        std::string nominatimURL = kDefaultNominatimURL;
        std::string overpassURL = kDefaultOverpassURL;
        std::chrono::milliseconds nominatimInterval = kPublicServerInterval;
        std::chrono::milliseconds overpassInterval = kPublicServerInterval;
        HttpClient::Options http = defaultHttpOptions();
        /// How long a server that answered with an error or nonsense is left alone.
        std::chrono::milliseconds restAfterServerError{60'000};
        /// Where answers are remembered between runs; none: every question is asked.
        std::shared_ptr<GeocodeCache> cache;

        /// Endpoints from "nominatimURL" and "overpassURL"; the one-per-second pacing applies to
        /// the public servers only, not to one's own.
        static Settings fromPreferences(Preferences& preferences);
        static HttpClient::Options defaultHttpOptions();
    };

    explicit OnlineGeocoder(Settings settings, const RequestPacer::Sleep& sleep = {});

    std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate coordinate) override;
    std::optional<std::vector<std::string>> areasOfInterest(CodableCoordinate coordinate) override;
    std::optional<std::vector<Placemark>> geocodeAddress(std::string_view text) override;
    std::optional<std::vector<MapItem>> searchPlaces(std::string_view query,
                                                     const SearchRegion& region) override;
    std::size_t requestsSent() const override { return m_requestsSent; }
    bool isOffline() const override { return m_health.isOffline(); }

    /// A coordinate as it is asked about: rounded to `kQuestionDecimals`.
    static CodableCoordinate rounded(CodableCoordinate coordinate);

    /// The Overpass queries sent, exposed so that their shape can be checked.
    static std::string areasQuery(CodableCoordinate coordinate);
    static std::string placesQuery(std::string_view query, const SearchRegion& region);

  private:
    enum Server : std::size_t { nominatim, overpass };
    template <typename Parse>
    auto answer(Server server, const GeocodeCache::Question& question, const std::string& url,
                Parse parse) -> decltype(parse(std::string_view()));
    std::string nominatimURL(const std::string& pathAndQuery) const;
    std::string overpassURL(const std::string& query) const;

    Settings m_settings;
    HttpClient m_http;
    RequestPacer m_nominatimPacer;
    RequestPacer m_overpassPacer;
    ServiceHealth m_health;
    std::size_t m_requestsSent = 0;
};

}  // namespace vantrel
