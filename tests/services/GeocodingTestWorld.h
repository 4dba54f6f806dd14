#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "LocalHttpServer.h"
#include "services/MapItem.h"
#include "services/OnlineGeocoder.h"

namespace vantrel::test {

/// A scripted map served in the Nominatim and Overpass formats by a local server, and an
/// online geocoder pointed at it (no pacing, short time-out).
class GeocodingTestWorld {
  public:
    enum class Kind { reverse, search, areas, places };
    struct Lookup {
        Kind kind;
        CodableCoordinate coordinate;  ///< reverse and areas
        std::string text;              ///< search text or place query
        std::string target;            ///< the request as sent: equal targets, equal questions
    };

    GeocodingTestWorld();

    /// Town answered by every reverse look-up (absent: an "Unable to geocode" answer).
    std::optional<std::string> town = "Springfield";
    std::optional<std::string> county = "Greene County";
    /// Enclosing areas per reverse probe coordinate.
    std::function<std::vector<std::string>(CodableCoordinate)> areasAt = [](CodableCoordinate) {
        return std::vector<std::string>{};
    };
    /// Place search results per query word.
    std::map<std::string, std::vector<MapItem>> places;
    /// Forward search results.
    std::vector<CodableCoordinate> searchHits;
    /// Every answer fails with this status when set.
    std::optional<int> failWith;

    std::vector<Lookup> lookups() const;
    std::string url() const { return m_server->url(); }
    OnlineGeocoder::Settings settings() const;
    OnlineGeocoder& geocoder() { return *m_geocoder; }

  private:
    LocalHttpServer::Response respond(const LocalHttpServer::Request& request);

    mutable std::mutex m_mutex;
    std::vector<Lookup> m_lookups;
    std::unique_ptr<LocalHttpServer> m_server;
    std::unique_ptr<OnlineGeocoder> m_geocoder;
};

}  // namespace vantrel::test
