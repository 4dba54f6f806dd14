#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Cancellation.h"
#include "model/Samples.h"
#include "services/CancellableWait.h"
#include "services/Geocoder.h"

namespace vantrel {

/// Chooses the location name of a route: the park, preserve or open space it lies in, else the
/// town it was recorded near. Once the token is cancelled, every further look-up is skipped
/// and counts as an empty answer. The pause after a probe is made only when that probe sent a
/// request.
class LocationChooser {
  public:
    static constexpr std::size_t kMinPointsForParks = 5;
    static constexpr std::chrono::milliseconds kProbeWait{200};
    static constexpr std::size_t kHighestProbes = 3;
    static constexpr std::size_t kSampleCount = 50;
    static constexpr double kNearbyMeters = 3'000;
    static constexpr double kMinScore = 0.1;
    static constexpr double kSearchRegionMeters = 10'000;
    static constexpr std::array<std::string_view, 9> kParkKeywords = {
        "preserve",      "open space", "county park", "regional park",  "state park",
        "national park", "wilderness", "forest",      "recreation area"};
    static constexpr std::array<std::string_view, 3> kSearchQueries = {"park", "preserve",
                                                                       "open space"};

    LocationChooser(Geocoder& geocoder, const CancellationToken& token,
                    WaitFunction wait = waitUnlessCancelled);

    /// The park the route lies in, else its town; absent for an empty route or when nothing is
    /// found. Routes of fewer than 5 points are named by their town only.
    std::optional<std::string> locationName(const std::vector<RoutePoint>& route);
    /// The town (else the county) at the route's centroid.
    std::optional<std::string> cityName(const std::vector<RoutePoint>& route);
    /// The first park name among the areas enclosing the probe points.
    std::optional<std::string> parkFromAreasOfInterest(const std::vector<RoutePoint>& route);
    /// The named park nearest to most of the route, from a search around its centroid.
    std::optional<std::string> parkFromPointsOfInterest(const std::vector<RoutePoint>& route);

    static bool isParkName(std::string_view name);
    /// Plain means of the latitudes and longitudes; the route must not be empty.
    static CodableCoordinate centroid(const std::vector<RoutePoint>& route);
    /// Centroid, the point farthest from the start, then the highest points.
    static std::vector<CodableCoordinate> probePoints(const std::vector<RoutePoint>& route);
    /// At most 50 points spread evenly over the route.
    static std::vector<CodableCoordinate> samplePoints(const std::vector<RoutePoint>& route);
    /// Geodesic distance on the WGS84 ellipsoid.
    static double distanceMeters(CodableCoordinate a, CodableCoordinate b);

    /// Whether requests went out since the geocoder had sent `requestsSentBefore`, so that the
    /// services are owed a pause.
    bool needsPause(std::size_t requestsSentBefore) const;

  private:
    std::optional<std::string> parkAt(CodableCoordinate probe);
    std::vector<MapItem> candidateParks(CodableCoordinate center);

    Geocoder& m_geocoder;
    const CancellationToken& m_token;
    WaitFunction m_wait;
};

}  // namespace vantrel
