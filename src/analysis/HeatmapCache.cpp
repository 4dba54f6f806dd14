#include "analysis/HeatmapCache.h"

// Compiled in rather than linked: one library fewer to load at the start of every command.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "analysis/RouteSimplifier.h"
#include "model/CacheFile.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"
#include "model/SqliteStatement.h"

namespace vantrel {

namespace {

// Raised whenever the way routes are simplified or stored changes: older files are emptied.
constexpr int kFormatVersion = 1;
// Enough simplified routes per transaction that writing is cheap, few enough that a
// cancelled or killed first build keeps most of its work.
constexpr std::size_t kRoutesPerTransaction = 100;

std::filesystem::path cacheFolder() {
    const char* base = std::getenv("XDG_CACHE_HOME");
    if (base && *base) return std::filesystem::path(base) / "vantrel";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".cache" / "vantrel";
}

std::int64_t hashOf(const std::optional<Bytes>& bytes) {
    if (!bytes) return 0;
    return static_cast<std::int64_t>(XXH3_64bits(bytes->data(), bytes->size()));
}

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
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::weakly_canonical(storeLocation, error);
    if (error) absolute = std::filesystem::absolute(storeLocation, error);
    std::string location = absolute.string();
    char name[40];
    std::snprintf(name, sizeof name, "heatmap-%016llx.sqlite",
                  static_cast<unsigned long long>(XXH3_64bits(location.data(), location.size())));
    return cacheFolder() / name;
}

HeatmapCache::HeatmapCache(std::filesystem::path file) : m_file(std::move(file)) {}

HeatmapCache::~HeatmapCache() {
    close();
}

void HeatmapCache::close() {
    for (auto& [sql, statement] : m_statements) sqlite3_finalize(statement);
    m_statements.clear();
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void HeatmapCache::execute(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw Damaged{};
}

sqlite3_stmt* HeatmapCache::prepare(const char* sql) {
    sqlite3_stmt*& statement = m_statements[sql];
    if (!statement && sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw Damaged{};
    return statement;
}

void HeatmapCache::openFile() {
    if (CacheFile::openDatabase(m_file, &m_db) != SQLITE_OK) throw Damaged{};
    sqlite3_busy_timeout(m_db, 10000);
    execute("PRAGMA journal_mode=WAL");
    {
        SqliteStatement version(prepare("PRAGMA user_version"));
        if (sqlite3_step(version.get()) != SQLITE_ROW) throw Damaged{};
        if (sqlite3_column_int(version.get(), 0) == kFormatVersion) return;
    }
    execute("BEGIN IMMEDIATE");
    execute("DROP TABLE IF EXISTS route");
    execute(
        "CREATE TABLE route (rideID TEXT NOT NULL, routeHash INTEGER NOT NULL, points BLOB NOT "
        "NULL, PRIMARY KEY (rideID, routeHash))");
    execute(("PRAGMA user_version=" + std::to_string(kFormatVersion)).c_str());
    execute("COMMIT");
}

void HeatmapCache::open() {
    if (m_db) return;
    // Something not ours in the file's place (a symlink, another user's file) is never written
    // through: the cache goes beside it, or into memory.
    std::optional<std::filesystem::path> usable = CacheFile::usablePath(m_file);
    if (usable) m_file = *usable;
    for (int attempt = 0; usable && attempt < 2; ++attempt) {
        try {
            openFile();
            m_onDisk = true;
            return;
        } catch (const Damaged&) {
            // Not a cache we can read (damaged, foreign, from a crashed writer): start afresh.
            close();
            std::error_code ignored;
            for (const char* suffix : {"", "-wal", "-shm", "-journal"})
                std::filesystem::remove(m_file.string() + suffix, ignored);
        }
    }
    // An unwritable cache folder must not cost the user the heatmap, only its speed.
    m_onDisk = false;
    sqlite3_open(":memory:", &m_db);
    execute(
        "CREATE TABLE route (rideID TEXT NOT NULL, routeHash INTEGER NOT NULL, points BLOB NOT "
        "NULL, PRIMARY KEY (rideID, routeHash))");
}

std::optional<std::vector<HeatmapRoute>> HeatmapCache::routes(RideStore& store,
                                                              const HeatmapFilter& filter,
                                                              const Progress& progress,
                                                              const CancellationToken* cancel) {
    for (int attempt = 0;; ++attempt) {
        try {
            open();
            return query(store, filter, progress, cancel);
        } catch (const StoreError&) {
            if (m_db && !sqlite3_get_autocommit(m_db)) sqlite3_exec(m_db, "ROLLBACK", 0, 0, 0);
            throw;
        } catch (const Damaged&) {
            // The file broke under us (damaged pages, removed while open): rebuild it once.
            if (attempt > 0 || !m_onDisk)
                throw StoreError("cannot use the heatmap cache " + m_file.string());
            close();
            std::error_code ignored;
            for (const char* suffix : {"", "-wal", "-shm", "-journal"})
                std::filesystem::remove(m_file.string() + suffix, ignored);
        }
    }
}

void HeatmapCache::prune(const std::vector<Uuid>& liveIDs) {
    std::unordered_set<std::string> live;
    for (const auto& id : liveIDs) live.insert(keyOf(id));
    std::vector<std::string> gone;
    {
        SqliteStatement all(prepare("SELECT DISTINCT rideID FROM route"));
        int status;
        while ((status = sqlite3_step(all.get())) == SQLITE_ROW) {
            std::string id(reinterpret_cast<const char*>(sqlite3_column_text(all.get(), 0)));
            if (!live.contains(id)) gone.push_back(std::move(id));
        }
        if (status != SQLITE_DONE) throw Damaged{};
    }
    if (gone.empty()) return;
    SqliteStatement remove(prepare("DELETE FROM route WHERE rideID = ?1"));
    execute("BEGIN IMMEDIATE");
    for (const auto& id : gone) {
        sqlite3_bind_text(remove.get(), 1, id.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(remove.get()) != SQLITE_DONE) throw Damaged{};
        sqlite3_reset(remove.get());
        sqlite3_clear_bindings(remove.get());
    }
    execute("COMMIT");
    m_counts.pruned = gone.size();
}

std::optional<std::vector<CodableCoordinate>> HeatmapCache::lookup(const Uuid& rideID,
                                                                   std::int64_t hash) {
    SqliteStatement found(prepare("SELECT points FROM route WHERE rideID = ?1 AND routeHash = ?2"));
    std::string key = keyOf(rideID);
    sqlite3_bind_text(found.get(), 1, key.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(found.get(), 2, hash);
    int status = sqlite3_step(found.get());
    if (status == SQLITE_DONE) return std::nullopt;
    if (status != SQLITE_ROW) throw Damaged{};
    return pointsFromBlob(sqlite3_column_blob(found.get(), 0),
                          sqlite3_column_bytes(found.get(), 0));
}

void HeatmapCache::remember(const Uuid& rideID, std::int64_t hash,
                            const std::vector<CodableCoordinate>& points) {
    std::string key = keyOf(rideID);
    // The entry of the route as it was before a trim or undo is of no further use.
    SqliteStatement older(prepare("DELETE FROM route WHERE rideID = ?1 AND routeHash <> ?2"));
    sqlite3_bind_text(older.get(), 1, key.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(older.get(), 2, hash);
    if (sqlite3_step(older.get()) != SQLITE_DONE) throw Damaged{};
    SqliteStatement insert(prepare("INSERT OR REPLACE INTO route VALUES (?1, ?2, ?3)"));
    sqlite3_bind_text(insert.get(), 1, key.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(insert.get(), 2, hash);
    // An activity without a line is remembered too (an empty blob; a null pointer would bind
    // NULL), so that its route is not decoded again at every query.
    static const char kNone = 0;
    const void* data = points.empty() ? static_cast<const void*>(&kNone) : points.data();
    sqlite3_bind_blob(insert.get(), 3, data, static_cast<int>(points.size() * 2 * sizeof(double)),
                      SQLITE_STATIC);
    if (sqlite3_step(insert.get()) != SQLITE_DONE) throw Damaged{};
}

std::optional<std::vector<HeatmapRoute>> HeatmapCache::query(RideStore& store,
                                                             const HeatmapFilter& filter,
                                                             const Progress& progress,
                                                             const CancellationToken* cancel) {
    m_counts = {};
    RideQuery live;
    live.liveOnly = true;
    live.withDetails = false;
    live.order = RideQuery::Order::dateAscending;
    std::vector<RideRef> rides = store.fetch(live);
    std::vector<Uuid> liveIDs;
    liveIDs.reserve(rides.size());
    for (const auto& ride : rides) liveIDs.push_back(ride->rideID);
    prune(liveIDs);
    std::erase_if(rides, [&](const RideRef& ride) { return !filter.matches(*ride); });

    std::vector<HeatmapRoute> result;
    std::size_t unsaved = 0;
    bool inTransaction = false;
    auto commit = [&] {
        if (inTransaction) execute("COMMIT");
        inTransaction = false;
        unsaved = 0;
    };
    for (std::size_t i = 0; i < rides.size(); ++i) {
        if (cancel && cancel->isCancelled()) {
            commit();
            return std::nullopt;
        }
        const PersistedRide& ride = *rides[i];
        std::optional<Bytes> routeData = store.storedRouteData(ride.objectID);
        std::int64_t hash = hashOf(routeData);
        std::optional<std::vector<CodableCoordinate>> line = lookup(ride.rideID, hash);
        if (line) {
            ++m_counts.reused;
        } else {
            line = simplifiedLine(routeData);
            if (!inTransaction) execute("BEGIN IMMEDIATE");
            inTransaction = true;
            remember(ride.rideID, hash, *line);
            ++m_counts.simplified;
            if (++unsaved >= kRoutesPerTransaction) commit();
        }
        if (line->size() >= 2)
            result.push_back(
                {ride.rideID, ride.resolvedActivityType(), ride.date, std::move(*line)});
        if (progress) progress(i + 1, rides.size());
    }
    commit();
    return result;
}

}  // namespace vantrel
