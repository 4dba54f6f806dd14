#include "services/LocationChooser.h"

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <cmath>
#include <set>

#include "model/AsciiText.h"

namespace vantrel {

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;
constexpr double kMeanEarthRadius = 6'371'008.8;
// A sphere's distances differ from the ellipsoid's by less than 0.6%; twice that and a metre
// more is a safe margin around the largest estimate.
constexpr double kEstimateMargin = 0.02;

/// Haversine distance on the mean sphere from a start whose latitude's cosine is known.
double sphericalMeters(CodableCoordinate start, double cosStartLatitude, CodableCoordinate to) {
    double halfLat = (to.latitude - start.latitude) * kRadiansPerDegree / 2;
    double halfLon = (to.longitude - start.longitude) * kRadiansPerDegree / 2;
    double a = std::sin(halfLat) * std::sin(halfLat) +
               cosStartLatitude * std::cos(to.latitude * kRadiansPerDegree) * std::sin(halfLon) *
                   std::sin(halfLon);
    return 2 * kMeanEarthRadius * std::asin(std::sqrt(std::clamp(a, 0.0, 1.0)));
}

// The geodesic distance decides, but measuring it to every point of a long route dominates
// locating a history. A spherical estimate rules out the points that cannot be the farthest;
// the rest are measured in route order as before, so the same point is chosen.
CodableCoordinate farthestFromStart(const std::vector<RoutePoint>& route) {
    const auto& start = route.front().coordinate;
    double cosStart = std::cos(start.latitude * kRadiansPerDegree);
    std::vector<double> estimates;
    estimates.reserve(route.size());
    double largest = 0;
    for (const auto& point : route) {
        estimates.push_back(sphericalMeters(start, cosStart, point.coordinate));
        if (estimates.back() > largest) largest = estimates.back();
    }
    double threshold = largest * (1 - kEstimateMargin) - 1;
    CodableCoordinate farthest = start;
    double farthestDistance = 0;
    for (std::size_t i = 0; i < route.size(); ++i) {
        if (estimates[i] < threshold) continue;
        double distance = LocationChooser::distanceMeters(start, route[i].coordinate);
        if (distance > farthestDistance) {
            farthestDistance = distance;
            farthest = route[i].coordinate;
        }
    }
    return farthest;
}

std::vector<CodableCoordinate> highestPoints(const std::vector<RoutePoint>& route) {
    auto sorted = route;
    std::stable_sort(sorted.begin(), sorted.end(), [](const RoutePoint& a, const RoutePoint& b) {
        return a.altitude > b.altitude;
    });
    std::size_t count = sorted.size() >= 4 ? LocationChooser::kHighestProbes : sorted.size();
    std::vector<CodableCoordinate> points;
    for (std::size_t i = 0; i < count; ++i) points.push_back(sorted[i].coordinate);
    return points;
}

double score(const MapItem& item, const std::vector<CodableCoordinate>& samples) {
    auto near = std::count_if(samples.begin(), samples.end(), [&](const CodableCoordinate& c) {
        return LocationChooser::distanceMeters(c, item.coordinate) <=
               LocationChooser::kNearbyMeters;
    });
    return static_cast<double>(near) / static_cast<double>(samples.size());
}

}  // namespace

LocationChooser::LocationChooser(Geocoder& geocoder, const CancellationToken& token,
                                 WaitFunction wait)
    : m_geocoder(geocoder), m_token(token), m_wait(std::move(wait)) {}

bool LocationChooser::isParkName(std::string_view name) {
    auto lower = asciiLowercased(name);
    return std::any_of(kParkKeywords.begin(), kParkKeywords.end(), [&](std::string_view keyword) {
        return lower.find(keyword) != std::string::npos;
    });
}

double LocationChooser::distanceMeters(CodableCoordinate a, CodableCoordinate b) {
    double meters = 0;
    GeographicLib::Geodesic::WGS84().Inverse(a.latitude, a.longitude, b.latitude, b.longitude,
                                             meters);
    return meters;
}

CodableCoordinate LocationChooser::centroid(const std::vector<RoutePoint>& route) {
    double latitude = 0, longitude = 0;
    for (const auto& point : route) {
        latitude += point.coordinate.latitude;
        longitude += point.coordinate.longitude;
    }
    auto count = static_cast<double>(route.size());
    return {latitude / count, longitude / count};
}

std::vector<CodableCoordinate> LocationChooser::probePoints(const std::vector<RoutePoint>& route) {
    std::vector<CodableCoordinate> probes{centroid(route), farthestFromStart(route)};
    auto highest = highestPoints(route);
    probes.insert(probes.end(), highest.begin(), highest.end());
    return probes;
}

std::vector<CodableCoordinate> LocationChooser::samplePoints(const std::vector<RoutePoint>& route) {
    std::vector<CodableCoordinate> samples;
    std::size_t n = route.size();
    if (n <= kSampleCount) {
        for (const auto& point : route) samples.push_back(point.coordinate);
        return samples;
    }
    for (std::size_t i = 0; i < kSampleCount; ++i) {
        samples.push_back(route[std::min(i * n / kSampleCount, n - 1)].coordinate);
    }
    return samples;
}

std::optional<std::string> LocationChooser::cityName(const std::vector<RoutePoint>& route) {
    if (route.empty() || m_token.isCancelled()) return std::nullopt;
    auto placemarks = m_geocoder.reverseGeocode(centroid(route));
    if (!placemarks || placemarks->empty()) return std::nullopt;
    const auto& first = placemarks->front();
    return first.locality ? first.locality : first.subAdministrativeArea;
}

std::optional<std::string> LocationChooser::parkAt(CodableCoordinate probe) {
    if (m_token.isCancelled()) return std::nullopt;
    auto areas = m_geocoder.areasOfInterest(probe);
    if (!areas) return std::nullopt;
    for (const auto& name : *areas) {
        if (isParkName(name)) return name;
    }
    return std::nullopt;
}

std::optional<std::string> LocationChooser::parkFromAreasOfInterest(
    const std::vector<RoutePoint>& route) {
    if (route.empty()) return std::nullopt;
    auto probes = probePoints(route);
    for (const auto& probe : probes) {
        std::size_t sentBefore = m_geocoder.requestsSent();
        if (auto park = parkAt(probe)) return park;
        if (needsPause(sentBefore) && !m_wait(kProbeWait, m_token)) return std::nullopt;
    }
    return std::nullopt;
}

bool LocationChooser::needsPause(std::size_t requestsSentBefore) const {
    // The pauses spare the services; answers from a cache or the place table spare them anyway,
    // and once offline no more requests follow.
    return m_geocoder.requestsSent() != requestsSentBefore && !m_geocoder.isOffline();
}

std::vector<MapItem> LocationChooser::candidateParks(CodableCoordinate center) {
    SearchRegion region{center, kSearchRegionMeters, kSearchRegionMeters};
    std::vector<MapItem> candidates;
    std::set<std::string> seen;
    for (auto query : kSearchQueries) {
        if (m_token.isCancelled()) break;
        auto items = m_geocoder.searchPlaces(query, region);
        if (!items) continue;
        for (auto& item : *items) {
            if (!item.name || !seen.insert(*item.name).second) continue;
            if (isParkName(*item.name)) candidates.push_back(std::move(item));
        }
    }
    return candidates;
}

std::optional<std::string> LocationChooser::parkFromPointsOfInterest(
    const std::vector<RoutePoint>& route) {
    if (route.empty()) return std::nullopt;
    auto candidates = candidateParks(centroid(route));
    auto samples = samplePoints(route);
    const MapItem* best = nullptr;
    double bestScore = 0;
    for (const auto& item : candidates) {
        double itemScore = score(item, samples);
        if (itemScore > bestScore && itemScore >= kMinScore) {
            bestScore = itemScore;
            best = &item;
        }
    }
    return best ? best->name : std::nullopt;
}

std::optional<std::string> LocationChooser::locationName(const std::vector<RoutePoint>& route) {
    if (route.empty()) return std::nullopt;
    if (route.size() < kMinPointsForParks) return cityName(route);
    if (auto park = parkFromAreasOfInterest(route)) return park;
    if (auto park = parkFromPointsOfInterest(route)) return park;
    return cityName(route);
}

}  // namespace vantrel
