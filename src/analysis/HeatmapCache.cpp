#include "analysis/HeatmapCache.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

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

void HeatmapCache::readLines(const std::vector<ActivitySummary>& wanted,
                             std::vector<std::optional<std::vector<CodableCoordinate>>>& lines) {
    // One pass over the file rather than a look-up per activity: a filled cache of a long
    // history is read whole in a fraction of the time. Activities are found by rideID in a
    // sorted list, without a string or a hash each.
    std::vector<std::pair<Uuid, std::size_t>> index;
    index.reserve(wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) index.emplace_back(wanted[i].rideID, i);
    std::sort(index.begin(), index.end());
    lines.assign(wanted.size(), std::nullopt);
    sqlite3_stmt* all = m_db.statement("SELECT rideID, seriesKey, points FROM route");
    if (!all) return;
    int status;
    while ((status = sqlite3_step(all)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(all, 0));
        std::optional<Uuid> rideID = Uuid::parse(text ? text : "");
        if (!rideID) continue;
        auto found = std::lower_bound(index.begin(), index.end(), std::pair(*rideID, 0UL));
        if (found == index.end() || found->first != *rideID) continue;
        if (wanted[found->second].seriesMark != sqlite3_column_int64(all, 1)) continue;
        lines[found->second] =
            pointsFromBlob(sqlite3_column_blob(all, 2), sqlite3_column_bytes(all, 2));
    }
    sqlite3_reset(all);
    // Entries read before the damage showed are sound; the rest are simplified again.
    if (status != SQLITE_DONE) m_db.recover();
}

std::optional<std::vector<HeatmapRoute>> HeatmapCache::routes(RideStore& store,
                                                              const HeatmapFilter& filter,
                                                              const Progress& progress,
                                                              const CancellationToken* cancel) {
    m_counts = {};
    std::vector<ActivitySummary> activities = store.liveSummaries();
    {
        std::unordered_set<std::string> liveIDs;
        liveIDs.reserve(activities.size());
        for (const auto& activity : activities) liveIDs.insert(keyOf(activity.rideID));
        m_counts.pruned = m_db.prune("route", liveIDs);
    }
    std::erase_if(activities, [&](const ActivitySummary& activity) {
        return !filter.matches(activity.date, activity.resolvedActivityType());
    });
    std::vector<std::optional<std::vector<CodableCoordinate>>> lines;
    readLines(activities, lines);

    std::vector<HeatmapRoute> result;
    for (std::size_t i = 0; i < activities.size(); ++i) {
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
        if (progress) progress(i + 1, activities.size());
    }
    m_db.commit();
    return result;
}

}  // namespace vantrel
