#include "services/PlaceTable.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>

namespace vantrel {

namespace {

constexpr double kEarthRadius = 6'371'008.8;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;
constexpr double kMetersPerDegreeLatitude = 111'000;

double haversineMeters(double lat1, double lon1, double lat2, double lon2) {
    double dLat = (lat2 - lat1) * kRadiansPerDegree;
    double dLon = (lon2 - lon1) * kRadiansPerDegree;
    double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(lat1 * kRadiansPerDegree) * std::cos(lat2 * kRadiansPerDegree) *
                   std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

std::optional<double> number(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::array<std::string_view, 4> splitFields(std::string_view line, bool& ok) {
    std::array<std::string_view, 4> fields;
    for (std::size_t i = 0; i < 3; ++i) {
        auto tab = line.find('\t');
        if (tab == std::string_view::npos) {
            ok = false;
            return fields;
        }
        fields[i] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    fields[3] = line;
    ok = line.find('\t') == std::string_view::npos;
    return fields;
}

std::filesystem::path installedPath() {
    std::array<char, 4096> buffer{};
    auto length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    std::filesystem::path exe(std::string(buffer.data(), static_cast<std::size_t>(length)));
    return exe.parent_path().parent_path() / "share" / "vantrel" / "places.tsv";
}

}  // namespace

bool PlaceTable::addLine(std::string_view line) {
    bool ok = true;
    auto fields = splitFields(line, ok);
    if (!ok || fields[2].empty()) return false;
    auto latitude = number(fields[0]);
    auto longitude = number(fields[1]);
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) {
        return false;
    }
    if (m_names.size() + line.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    auto nameOffset = static_cast<std::uint32_t>(m_names.size());
    m_names += fields[2];
    auto countyOffset = static_cast<std::uint32_t>(m_names.size());
    m_names += fields[3];
    m_entries.push_back({*latitude, *longitude, nameOffset,
                         static_cast<std::uint32_t>(fields[2].size()), countyOffset,
                         static_cast<std::uint32_t>(fields[3].size())});
    return true;
}

PlaceTable PlaceTable::load(const std::filesystem::path& file) {
    PlaceTable table;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (in && std::getline(in, line)) table.addLine(line);
    // The file should be sorted; a hand-made one need not be.
    std::stable_sort(table.m_entries.begin(), table.m_entries.end(),
                     [](const Entry& a, const Entry& b) { return a.latitude < b.latitude; });
    return table;
}

const PlaceTable& PlaceTable::shared() {
    static const PlaceTable table = load(defaultPath());
    return table;
}

std::filesystem::path PlaceTable::defaultPath() {
    if (const char* path = std::getenv("VANTREL_PLACE_TABLE")) return path;
    std::error_code ignored;
    if (auto installed = installedPath(); std::filesystem::exists(installed, ignored)) {
        return installed;
    }
#ifdef VANTREL_PLACE_TABLE_BUILD_PATH
    return VANTREL_PLACE_TABLE_BUILD_PATH;
#else
    return {};
#endif
}

std::string_view PlaceTable::text(std::uint32_t offset, std::uint32_t length) const {
    return std::string_view(m_names).substr(offset, length);
}

PlaceTable::Place PlaceTable::place(const Entry& entry) const {
    return Place{{entry.latitude, entry.longitude},
                 std::string(text(entry.nameOffset, entry.nameLength)),
                 std::string(text(entry.countyOffset, entry.countyLength))};
}

// Calls `visit(entry, distance)` for every place within reach, scanning only the latitude band.
template <typename Visit>
void PlaceTable::forEachNear(CodableCoordinate coordinate, double maxMeters, Visit visit) const {
    double band = maxMeters / kMetersPerDegreeLatitude;
    auto first = std::lower_bound(
        m_entries.begin(), m_entries.end(), coordinate.latitude - band,
        [](const Entry& entry, double latitude) { return entry.latitude < latitude; });
    for (auto it = first; it != m_entries.end() && it->latitude <= coordinate.latitude + band;
         ++it) {
        double distance =
            haversineMeters(coordinate.latitude, coordinate.longitude, it->latitude, it->longitude);
        if (distance <= maxMeters) visit(*it, distance);
    }
}

std::optional<PlaceTable::Place> PlaceTable::nearest(CodableCoordinate coordinate,
                                                     double maxMeters) const {
    const Entry* best = nullptr;
    double bestDistance = maxMeters;
    forEachNear(coordinate, maxMeters, [&](const Entry& entry, double distance) {
        if (best == nullptr || distance < bestDistance) {
            bestDistance = distance;
            best = &entry;
        }
    });
    if (best == nullptr) return std::nullopt;
    return place(*best);
}

std::vector<PlaceTable::Place> PlaceTable::within(CodableCoordinate coordinate,
                                                  double maxMeters) const {
    std::vector<Place> places;
    forEachNear(coordinate, maxMeters,
                [&](const Entry& entry, double) { places.push_back(place(entry)); });
    return places;
}

}  // namespace vantrel
