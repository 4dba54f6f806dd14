#include "analysis/RecordsCache.h"

#include <sqlite3.h>
// Compiled in rather than linked: one library fewer to load at the start of every command.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "analysis/PowerCurve.h"
#include "model/CacheFile.h"
#include "model/Paths.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"

namespace vantrel {

namespace {

// Raised when the file's layout changes: an older file is then simply started afresh.
constexpr int kCacheVersion = 2;
// Routes read ahead, measured together and committed together: a cancelled fill keeps all but
// one batch of its work without paying a commit per activity, and memory holds this many routes.
constexpr std::size_t kRoutesPerBatch = 32;

using EntryKey = std::pair<std::string, std::int64_t>;
using PowerBests = std::vector<std::optional<double>>;

/// What is measured of one activity's series.
struct MeasuredBests {
    PersonalRecords::RouteBests route;
    PowerBests power;
};

using Entries = std::map<EntryKey, MeasuredBests>;

// The power curve is kept as one blob of doubles, NaN where the series is too short: a curve
// has too many points for a column each.
std::string powerBlob(const PowerBests& power) {
    std::string blob(power.size() * sizeof(double), '\0');
    for (std::size_t i = 0; i < power.size(); ++i) {
        double value = power[i].value_or(std::nan(""));
        std::memcpy(blob.data() + i * sizeof(double), &value, sizeof value);
    }
    return blob;
}

PowerBests powerFromBlob(const void* data, int size) {
    PowerBests power;
    if (!data || size <= 0) return power;
    std::size_t count = static_cast<std::size_t>(size) / sizeof(double);
    for (std::size_t i = 0; i < count; ++i) {
        double value;
        std::memcpy(&value, static_cast<const char*>(data) + i * sizeof(double), sizeof value);
        power.push_back(std::isnan(value) ? std::nullopt : std::optional(value));
    }
    return power;
}

std::string hexHash(std::string_view text) {
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx",
                  static_cast<unsigned long long>(XXH3_64bits(text.data(), text.size())));
    return buffer;
}

std::string columnList() {
    std::string columns;
    for (auto kind : PersonalRecords::routeRecordKinds())
        columns += std::string(", ") + std::string(PersonalRecords::rawValue(kind));
    return columns;
}

std::string createTableSql() {
    std::string sql =
        "CREATE TABLE IF NOT EXISTS routeBests(rideID TEXT NOT NULL, "
        "routeHash INTEGER NOT NULL";
    for (auto kind : PersonalRecords::routeRecordKinds())
        sql += std::string(", ") + std::string(PersonalRecords::rawValue(kind)) + " REAL";
    return sql + ", powerCurve BLOB, PRIMARY KEY(rideID, routeHash)) WITHOUT ROWID";
}

/// The live activities without their large fields: the list a history fits in memory as.
std::vector<RideRef> liveActivities(RideStore& store) {
    RideQuery query;
    query.liveOnly = true;
    query.order = RideQuery::Order::dateAscending;
    query.withDetails = false;
    return store.fetch(query);
}

PersonalRecords::ActivityBests summaryOf(const PersistedRide& ride) {
    PersonalRecords::ActivityBests activity;
    activity.rideID = ride.rideID;
    activity.date = ride.date;
    activity.activityType = ride.resolvedActivityType();
    activity.distance = ride.distance;
    activity.duration = ride.duration;
    activity.elevationGain = ride.elevationGain;
    return activity;
}

MeasuredBests measure(const std::optional<Bytes>& routeData,
                      const std::optional<Bytes>& powerData) {
    MeasuredBests bests;
    try {
        if (auto route = decodeRoutePoints(routeData))
            bests.route = PersonalRecords::routeBests(*route);
        if (auto power = decodePowerSamples(powerData))
            bests.power = PowerCurve(*power).standardBests();
    } catch (const std::bad_alloc&) {
        // A series too large to hold holds no record; the other activities still count.
    }
    return bests;
}

/// A route to measure, and where its bests go.
struct PendingRoute {
    std::size_t index;
    EntryKey key;
    std::optional<Bytes> routeData;
    std::optional<Bytes> powerData;
};

/// Decoding dominates a first fill, and routes are independent: they are measured on every
/// core while the store and the cache stay on the calling thread.
void measureAll(const std::vector<PendingRoute>& batch,
                std::vector<PersonalRecords::ActivityBests>& activities) {
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t k; (k = next++) < batch.size();) {
            auto bests = measure(batch[k].routeData, batch[k].powerData);
            activities[batch[k].index].route = std::move(bests.route);
            activities[batch[k].index].powerCurve = std::move(bests.power);
        }
    };
    std::size_t threads =
        std::min<std::size_t>(batch.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
    for (auto& helper : helpers) helper.join();
}

}  // namespace

struct RecordsCache::Impl {
    std::filesystem::path file;
    sqlite3* db = nullptr;
    bool inMemory = false;
    std::size_t measured = 0;
    std::size_t pendingWrites = 0;

    ~Impl() { close(); }

    void close() {
        if (db) sqlite3_close_v2(db);
        db = nullptr;
    }

    bool execute(const std::string& sql) {
        return db && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    /// Whether the last failure says the file itself is broken, rather than busy or full.
    bool damaged() const {
        int code = db ? sqlite3_errcode(db) : SQLITE_OK;
        return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
    }

    enum class Opening { opened, damaged, unavailable };
    void open();
    Opening openFile();
    void openInMemory();
    void startAfresh();
    void recover();
    Opening checkLayout();
    Entries readEntries();
    bool write(const EntryKey& key, const MeasuredBests& bests);
    void prune(const Entries& stale);
    void commit();
};

void RecordsCache::Impl::open() {
    std::optional<std::filesystem::path> usable = CacheFile::usablePath(file);
    if (!usable) {
        // Something not ours stands in the file's place: never write through it.
        openInMemory();
        return;
    }
    file = *usable;
    switch (openFile()) {
        case Opening::opened:
            return;
        case Opening::damaged:
            // A damaged or foreign file holds nothing worth keeping.
            startAfresh();
            return;
        case Opening::unavailable:
            // Busy past the timeout, or not writable: this run does without the file.
            openInMemory();
            return;
    }
}

RecordsCache::Impl::Opening RecordsCache::Impl::openFile() {
    if (CacheFile::openDatabase(file, &db) != SQLITE_OK) {
        close();
        return Opening::unavailable;
    }
    // Another process holds the write lock only for one batch; waiting longer gains nothing.
    sqlite3_busy_timeout(db, 2000);
    Opening result = execute("PRAGMA journal_mode=WAL")
                         ? checkLayout()
                         : (damaged() ? Opening::damaged : Opening::unavailable);
    if (result != Opening::opened) close();
    return result;
}

RecordsCache::Impl::Opening RecordsCache::Impl::checkLayout() {
    auto failure = [this] { return damaged() ? Opening::damaged : Opening::unavailable; };
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) != SQLITE_OK)
        return failure();
    int version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    if (version != 0 && version != kCacheVersion) return Opening::damaged;
    if (!execute(createTableSql())) return failure();
    if (version == 0 && !execute("PRAGMA user_version=" + std::to_string(kCacheVersion)))
        return failure();
    return Opening::opened;
}

void RecordsCache::Impl::startAfresh() {
    close();
    pendingWrites = 0;
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(file.string() + suffix, ignored);
    if (openFile() != Opening::opened) openInMemory();
}

void RecordsCache::Impl::recover() {
    if (damaged()) {
        startAfresh();
        return;
    }
    // Busy or full: this batch goes unsaved and is measured again next time.
    execute("ROLLBACK");
    pendingWrites = 0;
}

void RecordsCache::Impl::openInMemory() {
    close();
    inMemory = true;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) close();
    execute(createTableSql());
}

Entries RecordsCache::Impl::readEntries() {
    Entries entries;
    sqlite3_stmt* statement = nullptr;
    std::string sql = "SELECT rideID, routeHash" + columnList() + ", powerCurve FROM routeBests";
    if (!db || sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return entries;
    const int kinds = static_cast<int>(PersonalRecords::routeRecordKinds().size());
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        EntryKey key{text ? text : "", sqlite3_column_int64(statement, 1)};
        MeasuredBests bests;
        for (int i = 0; i < kinds; ++i) {
            if (sqlite3_column_type(statement, 2 + i) == SQLITE_NULL)
                bests.route.emplace_back();
            else
                bests.route.emplace_back(sqlite3_column_double(statement, 2 + i));
        }
        bests.power = powerFromBlob(sqlite3_column_blob(statement, 2 + kinds),
                                    sqlite3_column_bytes(statement, 2 + kinds));
        entries.emplace(std::move(key), std::move(bests));
    }
    sqlite3_finalize(statement);
    // Entries read before the damage showed are sound; the file is not.
    if (status != SQLITE_DONE && damaged()) startAfresh();
    return entries;
}

bool RecordsCache::Impl::write(const EntryKey& key, const MeasuredBests& entry) {
    const auto& bests = entry.route;
    if (!db || (pendingWrites == 0 && !execute("BEGIN IMMEDIATE"))) return false;
    ++pendingWrites;
    std::string sql = "INSERT OR REPLACE INTO routeBests(rideID, routeHash" + columnList() +
                      ", powerCurve) VALUES (?1, ?2";
    const auto kinds = PersonalRecords::routeRecordKinds().size();
    for (std::size_t i = 0; i < kinds + 1; ++i) sql += ", ?" + std::to_string(i + 3);
    sql += ")";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return false;
    sqlite3_bind_text(statement, 1, key.first.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, key.second);
    for (std::size_t i = 0; i < kinds; ++i) {
        int index = static_cast<int>(i) + 3;
        if (i < bests.size() && bests[i])
            sqlite3_bind_double(statement, index, *bests[i]);
        else
            sqlite3_bind_null(statement, index);
    }
    std::string blob = powerBlob(entry.power);
    sqlite3_bind_blob(statement, static_cast<int>(kinds) + 3, blob.data(),
                      static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    bool written = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    return written;
}

void RecordsCache::Impl::commit() {
    if (pendingWrites == 0) return;
    if (execute("COMMIT"))
        pendingWrites = 0;
    else
        recover();
}

void RecordsCache::Impl::prune(const Entries& stale) {
    if (stale.empty() || !execute("BEGIN IMMEDIATE")) return;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "DELETE FROM routeBests WHERE rideID = ?1 AND routeHash = ?2", -1,
                           &statement, nullptr) != SQLITE_OK) {
        execute("ROLLBACK");
        return;
    }
    for (const auto& [key, bests] : stale) {
        sqlite3_bind_text(statement, 1, key.first.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(statement, 2, key.second);
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    if (!execute("COMMIT")) recover();
}

std::filesystem::path RecordsCache::fileFor(const std::filesystem::path& storeLocation) {
    std::string location = storeLocation.string();
    // A server address names the same store from any folder; a file path is made absolute.
    if (location.find("://") == std::string::npos) {
        std::error_code error;
        auto absolute = std::filesystem::weakly_canonical(storeLocation, error);
        if (error) absolute = std::filesystem::absolute(storeLocation, error);
        location = absolute.string();
    }
    return cacheFolder() / ("records-" + hexHash(location) + ".sqlite");
}

std::uint64_t RecordsCache::routeHash(const std::optional<Bytes>& routeData,
                                      const std::optional<Bytes>& powerData) {
    std::uint64_t hash =
        routeData ? XXH3_64bits(routeData->data(), routeData->size()) : XXH3_64bits(nullptr, 0);
    if (!powerData) return hash;
    return XXH3_64bits_withSeed(powerData->data(), powerData->size(), hash);
}

RecordsCache::RecordsCache(std::filesystem::path file) : m_impl(std::make_unique<Impl>()) {
    m_impl->file = std::move(file);
    m_impl->open();
}

RecordsCache::~RecordsCache() = default;

std::size_t RecordsCache::measuredByLastUpdate() const {
    return m_impl->measured;
}

bool RecordsCache::persistent() const {
    return !m_impl->inMemory;
}

std::optional<std::vector<PersonalRecords::ActivityBests>> RecordsCache::update(
    RideStore& store, const Progress& progress, const CancellationToken* cancellation) {
    auto& impl = *m_impl;
    impl.measured = 0;
    Entries cached = impl.readEntries();
    std::set<EntryKey> kept;
    auto rides = liveActivities(store);
    std::vector<PersonalRecords::ActivityBests> activities(rides.size());
    std::vector<PendingRoute> batch;
    std::size_t resolved = 0;
    auto report = [&] {
        if (progress) progress(++resolved, rides.size());
    };
    auto measureBatch = [&] {
        measureAll(batch, activities);
        for (const auto& pending : batch) {
            const auto& activity = activities[pending.index];
            if (!impl.write(pending.key, {activity.route, activity.powerCurve})) impl.recover();
            report();
        }
        impl.measured += batch.size();
        impl.commit();
        batch.clear();
    };
    for (std::size_t i = 0; i < rides.size(); ++i) {
        if (cancellation && cancellation->isCancelled()) return std::nullopt;
        store.loadDetails(rides[i]);
        activities[i] = summaryOf(*rides[i]);
        auto hash = static_cast<std::int64_t>(routeHash(rides[i]->routeData, rides[i]->powerData));
        EntryKey key{activities[i].rideID.toString(), hash};
        if (auto found = cached.find(key); found != cached.end()) {
            activities[i].route = found->second.route;
            activities[i].powerCurve = found->second.power;
            kept.insert(key);
            report();
        } else {
            // A copy: the record must stay as stored, or the store would see a change to save.
            batch.push_back({i, std::move(key), rides[i]->routeData, rides[i]->powerData});
        }
        // Dropping the record lets the store forget its route before the next one is read.
        rides[i].reset();
        if (batch.size() == kRoutesPerBatch) measureBatch();
    }
    measureBatch();
    std::erase_if(cached, [&kept](const auto& entry) { return kept.count(entry.first) > 0; });
    impl.prune(cached);
    return activities;
}

}  // namespace vantrel
