#include "services/PlaceTable.h"

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>

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

// Four fields, or five with the country.
std::optional<std::array<std::string_view, 5>> splitFields(std::string_view line) {
    std::array<std::string_view, 5> fields;
    std::size_t count = 0;
    while (count < fields.size()) {
        auto tab = line.find('\t');
        fields[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
        if (count == fields.size()) return std::nullopt;
    }
    if (count < 4) return std::nullopt;
    return fields;
}

// Within this distance of a place, the other places of the table tell how large a town it is.
constexpr double kTownReach = 10'000;
// Places whose name only begins like the query are ranked among this many at most.
constexpr std::size_t kMaxPartialMatches = 2000;

std::vector<std::string_view> splitAtCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    while (true) {
        auto comma = text.find(',');
        parts.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return parts;
        text.remove_prefix(comma + 1);
    }
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::filesystem::path installedPath() {
    std::array<char, 4096> buffer{};
    auto length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    std::filesystem::path exe(std::string(buffer.data(), static_cast<std::size_t>(length)));
    return exe.parent_path().parent_path() / "share" / "vantrel" / "places.tsv";
}

}  // namespace

struct PlaceTable::Loading {
    std::map<std::string, std::uint16_t, std::less<>> countries;
};

/// The search form of every name, made once on the first search.
struct PlaceTable::SearchKeys {
    std::once_flag made;
    std::string text;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> names;
    std::vector<std::string> countries;

    std::string_view name(std::size_t index) const {
        return std::string_view(text).substr(names[index].first, names[index].second);
    }
};

PlaceTable::PlaceTable()
    : m_countries{std::string()}, m_searchKeys(std::make_unique<SearchKeys>()) {}
PlaceTable::~PlaceTable() = default;
PlaceTable::PlaceTable(PlaceTable&&) noexcept = default;
PlaceTable& PlaceTable::operator=(PlaceTable&&) noexcept = default;

bool PlaceTable::addLine(std::string_view line, Loading& loading) {
    auto fields = splitFields(line);
    if (!fields || (*fields)[2].empty()) return false;
    auto latitude = number((*fields)[0]);
    auto longitude = number((*fields)[1]);
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) {
        return false;
    }
    if (m_names.size() + line.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    const auto& [latitudeText, longitudeText, name, county, country] = *fields;
    auto nameOffset = static_cast<std::uint32_t>(m_names.size());
    m_names += name;
    auto countyOffset = static_cast<std::uint32_t>(m_names.size());
    m_names += county;
    m_entries.push_back({*latitude, *longitude, nameOffset, static_cast<std::uint32_t>(name.size()),
                         countyOffset, static_cast<std::uint32_t>(county.size()),
                         countryIndex(country, loading)});
    return true;
}

std::uint16_t PlaceTable::countryIndex(std::string_view country, Loading& loading) {
    if (country.empty()) return 0;
    if (auto found = loading.countries.find(country); found != loading.countries.end()) {
        return found->second;
    }
    // A table names a few hundred countries; one naming more leaves the rest without.
    if (m_countries.size() > std::numeric_limits<std::uint16_t>::max()) return 0;
    auto index = static_cast<std::uint16_t>(m_countries.size());
    m_countries.emplace_back(country);
    loading.countries.emplace(std::string(country), index);
    return index;
}

PlaceTable PlaceTable::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse(text);
}

PlaceTable PlaceTable::parse(std::string_view text) {
    PlaceTable table;
    Loading loading;
    while (!text.empty()) {
        auto end = text.find('\n');
        table.addLine(text.substr(0, end), loading);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
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
                 std::string(text(entry.countyOffset, entry.countyLength)),
                 entry.country < m_countries.size() ? m_countries[entry.country] : std::string()};
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

std::string PlaceTable::searchKey(std::string_view text) {
    // glib reads UTF-8 only; anything else is mended first rather than read past its end.
    std::string valid(text.substr(0, text.find('\0')));
    if (!g_utf8_validate(valid.data(), static_cast<gssize>(valid.size()), nullptr)) {
        std::unique_ptr<gchar, decltype(&g_free)> mended(
            g_utf8_make_valid(valid.data(), static_cast<gssize>(valid.size())), g_free);
        valid = mended.get();
    }
    std::unique_ptr<gchar, decltype(&g_free)> ascii(g_str_to_ascii(valid.c_str(), "C"), g_free);
    std::string key;
    bool space = false;
    for (const char* c = ascii.get(); *c; ++c) {
        bool separator = *c == ' ' || *c == '-' || *c == '\t' || *c == '\n' || *c == '\r';
        if (separator) {
            space = !key.empty();
            continue;
        }
        if (space) key += ' ';
        space = false;
        key += static_cast<char>(g_ascii_tolower(*c));
    }
    return key;
}

const PlaceTable::SearchKeys& PlaceTable::searchKeys() const {
    auto& keys = *m_searchKeys;
    std::call_once(keys.made, [&] {
        keys.names.reserve(m_entries.size());
        for (const auto& entry : m_entries) {
            auto key = searchKey(text(entry.nameOffset, entry.nameLength));
            keys.names.emplace_back(static_cast<std::uint32_t>(keys.text.size()),
                                    static_cast<std::uint32_t>(key.size()));
            keys.text += key;
        }
        for (const auto& country : m_countries) keys.countries.push_back(searchKey(country));
    });
    return keys;
}

std::size_t PlaceTable::placesAround(const Entry& entry) const {
    std::size_t count = 0;
    forEachNear({entry.latitude, entry.longitude}, kTownReach,
                [&](const Entry&, double) { ++count; });
    return count;
}

std::vector<PlaceTable::Place> PlaceTable::search(std::string_view query, std::size_t limit) const {
    auto parts = splitAtCommas(query);
    auto name = searchKey(parts.front());
    std::vector<std::string> qualifiers;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (auto key = searchKey(parts[i]); !key.empty()) qualifiers.push_back(std::move(key));
    }
    if (name.empty() || limit == 0) return {};
    const auto& keys = searchKeys();
    auto qualified = [&](const Entry& entry) {
        auto county = searchKey(text(entry.countyOffset, entry.countyLength));
        const auto& country = keys.countries[entry.country];
        return std::all_of(qualifiers.begin(), qualifiers.end(), [&](const std::string& q) {
            return startsWith(county, q) || startsWith(country, q);
        });
    };
    std::vector<const Entry*> exact, partial;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        auto key = keys.name(i);
        bool isExact = key == name;
        if (!isExact && (!startsWith(key, name) || partial.size() >= kMaxPartialMatches)) continue;
        if (!qualified(m_entries[i])) continue;
        (isExact ? exact : partial).push_back(&m_entries[i]);
    }
    std::vector<Place> found;
    for (auto* group : {&exact, &partial}) {
        // Fewer words first: "Zürich" before its quarters "Zürich (Kreis 1) / City" and so on.
        std::vector<std::tuple<std::size_t, std::size_t, const Entry*>> ranked;
        for (const Entry* entry : *group) {
            auto key = keys.name(static_cast<std::size_t>(entry - m_entries.data()));
            auto words = static_cast<std::size_t>(std::count(key.begin(), key.end(), ' '));
            ranked.emplace_back(words, placesAround(*entry), entry);
        }
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
            if (std::get<0>(a) != std::get<0>(b)) return std::get<0>(a) < std::get<0>(b);
            return std::get<1>(a) > std::get<1>(b);
        });
        for (const auto& [words, around, entry] : ranked) {
            if (found.size() == limit) return found;
            found.push_back(place(*entry));
        }
    }
    return found;
}

}  // namespace vantrel
