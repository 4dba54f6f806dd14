#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/RouteSimplifier.h"
#include "app/map/MapView.h"

// Kept apart from MapView.cpp because the web map module, which cannot see the program's own
// functions, compiles it in as well (with the core's route simplifier).
namespace vantrel {

namespace {

constexpr double kSimplifyTolerance = 2e-5;
// The heatmap's point text (see HeatmapLines): characters from U+0800 up, the first one the
// marker of a long change.
constexpr std::int64_t kHeatFirstChar = 0x0800;
constexpr std::int64_t kHeatShortChange = 16384;
constexpr double kMetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;

}  // namespace

void HeatmapLines::add(const std::vector<CodableCoordinate>& line) {
    if (line.size() < 2) return;
    starts.push_back(pointCount);
    pointCount += static_cast<std::uint32_t>(line.size());
    auto put = [this](std::int64_t change) {
        if (change > -kHeatShortChange && change < kHeatShortChange) {
            pointText += static_cast<char16_t>(kHeatFirstChar + kHeatShortChange + change);
            return;
        }
        // Any change in degrees times a million, shifted to be positive, fits 30 bits.
        auto shifted = static_cast<std::uint32_t>(change + (std::int64_t{1} << 29));
        pointText += static_cast<char16_t>(kHeatFirstChar);
        pointText += static_cast<char16_t>(kHeatFirstChar + (shifted >> 15));
        pointText += static_cast<char16_t>(kHeatFirstChar + (shifted & 0x7fff));
    };
    // Millionths of a degree within the globe: a value from a damaged file (out of range, not
    // a number) must not become a character that ends the script's string.
    auto millionths = [](double degrees, double limit) -> std::int64_t {
        return std::isfinite(degrees) ? std::llround(std::clamp(degrees, -limit, limit) * 1e6) : 0;
    };
    std::int64_t latitude = 0;
    std::int64_t longitude = 0;
    for (const auto& c : line) {
        std::int64_t nextLatitude = millionths(c.latitude, 90);
        std::int64_t nextLongitude = millionths(c.longitude, 180);
        put(nextLatitude - latitude);
        put(nextLongitude - longitude);
        latitude = nextLatitude;
        longitude = nextLongitude;
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
    // A tiny fraction of the route's extent on the ground: the drawing looks the same at the
    // zoom that shows the whole route, whatever its length.
    double midLatitude = (south + north) / 2 * std::numbers::pi / 180.0;
    double extentMetres =
        std::hypot(north - south, (east - west) * std::cos(midLatitude)) * kMetresPerDegree;
    std::vector<CodableCoordinate> result =
        simplifyRoute(coordinates, extentMetres * kSimplifyTolerance);
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
