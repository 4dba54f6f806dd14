#include "analysis/RouteSimplifier.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace vantrel {

namespace {

constexpr double kMetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;
constexpr std::size_t kChunk = 1000;

bool isOnGlobe(const CodableCoordinate& c) {
    return std::isfinite(c.latitude) && std::isfinite(c.longitude) && std::abs(c.latitude) <= 90 &&
           std::abs(c.longitude) <= 180;
}

/// Longitude step from `from` to `to` the short way round, in degrees.
double longitudeStep(double from, double to) {
    double step = to - from;
    if (step > 180) step -= 360;
    if (step < -180) step += 360;
    return step;
}

struct Vector {
    double x = 0;
    double y = 0;
};

/// `point` relative to `origin` in metres east and north, scaled at `cosLatitude`.
Vector localMetres(const CodableCoordinate& origin, const CodableCoordinate& point,
                   double cosLatitude) {
    return {longitudeStep(origin.longitude, point.longitude) * cosLatitude * kMetresPerDegree,
            (point.latitude - origin.latitude) * kMetresPerDegree};
}

double cosMidLatitude(const CodableCoordinate& a, const CodableCoordinate& b) {
    return std::cos((a.latitude + b.latitude) / 2 * std::numbers::pi / 180.0);
}

double distanceToSegment(const CodableCoordinate& point, const CodableCoordinate& a,
                         const CodableCoordinate& b, double cosLatitude) {
    Vector ab = localMetres(a, b, cosLatitude);
    Vector ap = localMetres(a, point, cosLatitude);
    double lengthSquared = ab.x * ab.x + ab.y * ab.y;
    double t = lengthSquared > 0 ? (ap.x * ab.x + ap.y * ab.y) / lengthSquared : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(ap.x - t * ab.x, ap.y - t * ab.y);
}

}  // namespace

double distanceToSegmentMetres(const CodableCoordinate& point, const CodableCoordinate& a,
                               const CodableCoordinate& b) {
    return distanceToSegment(point, a, b, cosMidLatitude(a, b));
}

std::vector<CodableCoordinate> simplifyRoute(const std::vector<CodableCoordinate>& coordinates,
                                             double toleranceMetres) {
    std::vector<CodableCoordinate> points;
    points.reserve(coordinates.size());
    for (const auto& c : coordinates) {
        if (isOnGlobe(c)) points.push_back(c);
    }
    std::size_t n = points.size();
    if (n <= 2) return points;
    // An explicit stack: a recursion over a long, straight recording could run very deep.
    // Douglas-Peucker takes time quadratic in the points between two kept ones when each split
    // takes off only one point (GPS noise at a standstill, a zigzag): keeping a point every
    // kChunk bounds that at the cost of a handful of extra points on a long route.
    std::vector<bool> keep(n, false);
    keep.back() = true;
    std::vector<std::pair<std::size_t, std::size_t>> stack;
    for (std::size_t first = 0; first < n - 1; first += kChunk) {
        keep[first] = true;
        stack.push_back({first, std::min(first + kChunk, n - 1)});
    }
    while (!stack.empty()) {
        auto [first, last] = stack.back();
        stack.pop_back();
        double cosLatitude = cosMidLatitude(points[first], points[last]);
        double farthest = -1;
        std::size_t index = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            double d = distanceToSegment(points[i], points[first], points[last], cosLatitude);
            if (d > farthest) {
                farthest = d;
                index = i;
            }
        }
        if (farthest <= toleranceMetres) continue;
        keep[index] = true;
        stack.push_back({first, index});
        stack.push_back({index, last});
    }
    std::vector<CodableCoordinate> result;
    for (std::size_t i = 0; i < n; ++i) {
        if (keep[i]) result.push_back(points[i]);
    }
    return result;
}

}  // namespace vantrel
