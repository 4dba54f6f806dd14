#include <algorithm>
#include <cmath>

#include "app/map/MapView.h"

// Kept apart from MapView.cpp because the web map module, which cannot see the program's own
// functions, compiles it in as well.
namespace vantrel {

namespace {

constexpr double kSimplifyTolerance = 2e-5;

}  // namespace

void HeatmapLines::add(const std::vector<CodableCoordinate>& line) {
    if (line.size() < 2) return;
    starts.push_back(static_cast<std::uint32_t>(coordinates.size() / 2));
    for (const auto& c : line) {
        coordinates.push_back(static_cast<float>(c.latitude));
        coordinates.push_back(static_cast<float>(c.longitude));
    }
}

std::vector<CodableCoordinate> simplifiedRoute(const std::vector<CodableCoordinate>& coordinates,
                                               std::size_t maxPoints) {
    std::size_t n = coordinates.size();
    if (n <= 2) return coordinates;
    double south = 90, north = -90, west = 180, east = -180;
    for (const auto& c : coordinates) {
        south = std::min(south, c.latitude);
        north = std::max(north, c.latitude);
        west = std::min(west, c.longitude);
        east = std::max(east, c.longitude);
    }
    double tolerance = std::hypot(north - south, east - west) * kSimplifyTolerance;
    // Douglas-Peucker on plain degrees, with an explicit stack: a recursion over 36,000
    // points could run deep on a straight line.
    std::vector<bool> keep(n, false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, n - 1}};
    while (!stack.empty()) {
        auto [first, last] = stack.back();
        stack.pop_back();
        const CodableCoordinate& a = coordinates[first];
        const CodableCoordinate& b = coordinates[last];
        double dx = b.longitude - a.longitude, dy = b.latitude - a.latitude;
        double length = std::hypot(dx, dy);
        double farthest = -1;
        std::size_t index = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            const CodableCoordinate& p = coordinates[i];
            double distance =
                length > 0
                    ? std::abs(dx * (a.latitude - p.latitude) - dy * (a.longitude - p.longitude)) /
                          length
                    : std::hypot(p.longitude - a.longitude, p.latitude - a.latitude);
            if (distance > farthest) {
                farthest = distance;
                index = i;
            }
        }
        if (farthest <= tolerance) continue;
        keep[index] = true;
        stack.push_back({first, index});
        stack.push_back({index, last});
    }
    std::vector<CodableCoordinate> result;
    for (std::size_t i = 0; i < n; ++i) {
        if (keep[i]) result.push_back(coordinates[i]);
    }
    if (result.size() <= maxPoints) return result;
    // Still too many (a very wiggly track): an even stride keeps the drawing bounded.
    std::vector<CodableCoordinate> strided;
    double step = static_cast<double>(result.size() - 1) / static_cast<double>(maxPoints - 1);
    for (std::size_t i = 0; i < maxPoints; ++i) {
        strided.push_back(result[static_cast<std::size_t>(std::llround(i * step))]);
    }
    return strided;
}

}  // namespace vantrel
