#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Samples.h"
#include "services/MapItem.h"
#include "services/Placemark.h"
#include "services/SearchRegion.h"

namespace vantrel {

/// The geographic look-ups that locating activities needs. Every operation answers absent when
/// the look-up failed (no network, time-out, malformed answer) and an empty list when it was
/// answered with nothing; callers that do not care treat both alike.
class Geocoder {
  public:
    virtual ~Geocoder() = default;

    /// Places at a coordinate, best first.
    virtual std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate coordinate) = 0;
    /// Names of the areas (parks, reserves, forests, …) that enclose a coordinate.
    virtual std::optional<std::vector<std::string>> areasOfInterest(
        CodableCoordinate coordinate) = 0;
    /// Places matching a free text, best first.
    virtual std::optional<std::vector<Placemark>> geocodeAddress(std::string_view text) = 0;
    /// Named points of interest matching a query inside a region.
    virtual std::optional<std::vector<MapItem>> searchPlaces(std::string_view query,
                                                             const SearchRegion& region) = 0;

    /// Requests sent to a service over the network so far. Answers remembered or taken from a
    /// table cost none, and need not be paced.
    virtual std::size_t requestsSent() const { return 0; }
    /// True once the network counts as gone for this geocoder's life: it asks no service any
    /// more and answers from what it holds.
    virtual bool isOffline() const { return false; }
};

}  // namespace vantrel
