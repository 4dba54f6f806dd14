#include "analysis/HeatmapCache.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "analysis/RouteSimplifier.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"

namespace vantrel {

namespace {

// Raised whenever the way routes are simplified or stored changes: older files are emptied.
constexpr int kFormatVersion = 2;
// Enough simplified routes per transaction that writing is cheap, few enough that a
// cancelled or killed first build keeps most of its work.
constexpr std::size_t kRoutesPerTransaction = 100;

constexpr const char* kSchema =
    "CREATE TABLE route (rideID TEXT NOT NULL, seriesKey INTEGER NOT NULL, points BLOB NOT "
    "NULL, PRIMARY KEY (rideID, seriesKey))";

std::string keyOf(const Uuid& rideID) {
    return rideID.toString();
}

// Points are kept as pairs of native doubles: the file is a cache of this computer only.
std::vector<CodableCoordinate> pointsFromBlob(const void* data, int size) {
    std::vector<CodableCoordinate> points(static_cast<std::size_t>(size) / (2 * sizeof(double)));
    if (!points.empty()) std::memcpy(points.data(), data, points.size() * 2 * sizeof(double));
    return points;
}

std::vector<CodableCoordinate> simplifiedLine(const std::optional<Bytes>& routeData) {
    std::optional<std::vector<RoutePoint>> decoded = decodeRoutePoints(routeData);
    if (!decoded) return {};
    std::vector<CodableCoordinate> coordinates;
    coordinates.reserve(decoded->size());
    for (const auto& point : *decoded) coordinates.push_back(point.coordinate);
    std::vector<CodableCoordinate> line = simplifyRoute(coordinates);
    if (line.size() < 2) line.clear();
    return line;
}

}  // namespace

std::filesystem::path heatmapCachePath(const std::filesystem::path& storeLocation) {
    return CacheDatabase::fileFor("heatmap", storeLocation);
}

HeatmapCache::HeatmapCache(std::filesystem::path file)
    : m_db(std::move(file), kFormatVersion, kSchema) {}

HeatmapCache::~HeatmapCache() = default;

std::optional<std::vector<CodableCoordinate>> HeatmapCache::lookup(const Uuid& rideID,
                                                                   std::int64_t key) {
    sqlite3_stmt* found =
        m_db.statement("SELECT points FROM route WHERE rideID = ?1 AND seriesKey = ?2");
    if (!found) return std::nullopt;
    std::string id = keyOf(rideID);
    sqlite3_bind_text(found, 1, id.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(found, 2, key);
    int status = sqlite3_step(found);
    std::optional<std::vector<CodableCoordinate>> points;
    if (status == SQLITE_ROW)
        points = pointsFromBlob(sqlite3_column_blob(found, 0), sqlite3_column_bytes(found, 0));
    sqlite3_reset(found);
    // An entry that cannot be read is simplified again.
    if (status != SQLITE_ROW && status != SQLITE_DONE) m_db.recover();
    return points;
}

void HeatmapCache::remember(const Uuid& rideID, std::int64_t key,
                            const std::vector<CodableCoordinate>& points) {
    if (!m_db.beginWrite()) return;
    std::string id = keyOf(rideID);
    // The entry of the route as it was before a trim or undo is of no further use.
    sqlite3_stmt* older = m_db.statement("DELETE FROM route WHERE rideID = ?1 AND seriesKey <> ?2");
    if (!older) return m_db.recover();
    sqlite3_bind_text(older, 1, id.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(older, 2, key);
    if (sqlite3_step(older) != SQLITE_DONE) return m_db.recover();
    sqlite3_reset(older);
    sqlite3_stmt* insert = m_db.statement("INSERT OR REPLACE INTO route VALUES (?1, ?2, ?3)");
    if (!insert) return m_db.recover();
    sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(insert, 2, key);
    // An activity without a line is remembered too (an empty blob; a null pointer would bind
    // NULL), so that its route is not decoded again at every query.
    static const char kNone = 0;
    const void* data = points.empty() ? static_cast<const void*>(&kNone) : points.data();
    sqlite3_bind_blob(insert, 3, data, static_cast<int>(points.size() * 2 * sizeof(double)),
                      SQLITE_STATIC);
    if (sqlite3_step(insert) != SQLITE_DONE) return m_db.recover();
    sqlite3_reset(insert);
}

std::size_t HeatmapCache::readLines(
    const std::vector<ActivitySummary>& live, const std::vector<bool>& wanted,
    std::vector<std::optional<std::vector<CodableCoordinate>>>& lines) {
    // One pass over the file rather than a look-up per activity, which also finds the entries
    // of activities no longer in the store. Activities are found by the first half of their
    // rideID in a sorted list, without a string or a hash each.
    auto head = [](const Uuid& id) {
        std::uint64_t value;
        std::memcpy(&value, id.bytes.data(), sizeof value);
        return value;
    };
    std::vector<std::pair<std::uint64_t, std::size_t>> index;
    index.reserve(live.size());
    for (std::size_t i = 0; i < live.size(); ++i) index.emplace_back(head(live[i].rideID), i);
    std::sort(index.begin(), index.end());
    auto find = [&](const Uuid& id) -> std::optional<std::size_t> {
        auto at = std::lower_bound(index.begin(), index.end(), std::pair(head(id), std::size_t{0}));
        for (; at != index.end() && at->first == head(id); ++at) {
            if (live[at->second].rideID == id) return at->second;
        }
        return std::nullopt;
    };
    lines.assign(live.size(), std::nullopt);
    sqlite3_stmt* all = m_db.statement("SELECT rideID, seriesKey, points FROM route");
    if (!all) return 0;
    std::vector<std::string> gone;
    int status;
    while ((status = sqlite3_step(all)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(all, 0));
        std::string_view rideID = text ? text : "";
        std::optional<Uuid> parsed = Uuid::parse(rideID);
        std::optional<std::size_t> found = parsed ? find(*parsed) : std::nullopt;
        if (!found) {
            gone.emplace_back(rideID);
            continue;
        }
        if (!wanted[*found] || live[*found].seriesMark != sqlite3_column_int64(all, 1)) continue;
        lines[*found] = pointsFromBlob(sqlite3_column_blob(all, 2), sqlite3_column_bytes(all, 2));
    }
    sqlite3_reset(all);
    // Entries read before the damage showed are sound; the rest are simplified again.
    if (status != SQLITE_DONE) {
        m_db.recover();
        return 0;
    }
    // An activity may have two entries for a moment (its route changed while another process
    // simplified it): each activity counts once.
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    return m_db.remove("route", gone);
}

std::optional<std::vector<HeatmapRoute>> HeatmapCache::routes(RideStore& store,
                                                              const HeatmapFilter& filter,
                                                              const Progress& progress,
                                                              const CancellationToken* cancel) {
    m_counts = {};
    std::vector<ActivitySummary> activities = store.liveSummaries();
    std::vector<bool> wanted(activities.size());
    std::size_t wantedCount = 0;
    for (std::size_t i = 0; i < activities.size(); ++i) {
        wanted[i] = filter.matches(activities[i].date, activities[i].resolvedActivityType());
        wantedCount += wanted[i] ? 1 : 0;
    }
    std::vector<std::optional<std::vector<CodableCoordinate>>> lines;
    m_counts.pruned = readLines(activities, wanted, lines);

    std::vector<HeatmapRoute> result;
    std::size_t done = 0;
    for (std::size_t i = 0; i < activities.size(); ++i) {
        if (!wanted[i]) continue;
        if (cancel && cancel->isCancelled()) {
            m_db.commit();
            return std::nullopt;
        }
        const ActivitySummary& activity = activities[i];
        std::optional<std::vector<CodableCoordinate>>& line = lines[i];
        StoredSeries series;
        std::int64_t key = 0;
        if (!line) {
            // New or changed since simplified: its route is read, keyed by the mark read with
            // it should it change again meanwhile.
            try {
                series = store.storedSeries(activity.objectID);
            } catch (const StoreError&) {
                m_db.commit();
                throw;
            }
            key = CacheDatabase::seriesKey(series);
            line = lookup(activity.rideID, key);
        }
        if (line) {
            ++m_counts.reused;
        } else {
            line = simplifiedLine(series.route);
            remember(activity.rideID, key, *line);
            ++m_counts.simplified;
            if (m_db.pendingWrites() >= kRoutesPerTransaction) m_db.commit();
        }
        if (line->size() >= 2)
            result.push_back({activity.rideID, activity.resolvedActivityType(), activity.date,
                              std::move(*line)});
        line.reset();
        if (progress) progress(++done, wantedCount);
    }
    m_db.commit();
    return result;
}

}  // namespace vantrel
