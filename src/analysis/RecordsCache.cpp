#include "analysis/RecordsCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_set>
#include <utility>

#include "analysis/CacheDatabase.h"
#include "analysis/PowerCurve.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"

namespace vantrel {

namespace {

// Raised when the file's layout changes: an older file is then simply started afresh.
constexpr int kCacheVersion = 3;
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

/// An entry of the file.
struct CachedEntry {
    Uuid rideID;
    std::int64_t seriesKey = 0;
    MeasuredBests bests;
    bool used = false;
};

/// The entries of the file, sorted by rideID and key: usually one per activity, two for a moment
/// when the series of an activity changed while another process measured it. A sorted vector
/// rather than a map: a long history's entries are found without a node or a hash each.
using Entries = std::vector<CachedEntry>;

/// The order of the entries: by rideID, compared as two integers (not byte by byte), then key.
auto sortKey(const Uuid& rideID, std::int64_t seriesKey) {
    std::array<std::uint64_t, 2> halves;
    std::memcpy(halves.data(), rideID.bytes.data(), sizeof halves);
    return std::tuple(halves[0], halves[1], seriesKey);
}

bool entryBefore(const CachedEntry& entry, const std::pair<Uuid, std::int64_t>& key) {
    return sortKey(entry.rideID, entry.seriesKey) < sortKey(key.first, key.second);
}

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

std::string columnList() {
    std::string columns;
    for (auto kind : PersonalRecords::routeRecordKinds())
        columns += std::string(", ") + std::string(PersonalRecords::rawValue(kind));
    return columns;
}

std::string createTableSql() {
    std::string sql =
        "CREATE TABLE routeBests(rideID TEXT NOT NULL, "
        "seriesKey INTEGER NOT NULL";
    for (auto kind : PersonalRecords::routeRecordKinds())
        sql += std::string(", ") + std::string(PersonalRecords::rawValue(kind)) + " REAL";
    return sql + ", powerCurve BLOB, PRIMARY KEY(rideID, seriesKey)) WITHOUT ROWID";
}

PersonalRecords::ActivityBests summaryOf(const ActivitySummary& ride) {
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
    explicit Impl(std::filesystem::path file)
        : db(std::move(file), kCacheVersion, createTableSql()) {}

    CacheDatabase db;
    std::size_t measured = 0;

    Entries readEntries();
    void write(const EntryKey& key, const MeasuredBests& bests);
};

Entries RecordsCache::Impl::readEntries() {
    Entries entries;
    sqlite3_stmt* statement =
        db.statement("SELECT rideID, seriesKey" + columnList() + ", powerCurve FROM routeBests");
    if (!statement) return entries;
    const int kinds = static_cast<int>(PersonalRecords::routeRecordKinds().size());
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        // An entry under something that is no rideID belongs to no activity: left to pruning.
        std::optional<Uuid> rideID = Uuid::parse(text ? text : "");
        if (!rideID) continue;
        std::int64_t seriesKey = sqlite3_column_int64(statement, 1);
        MeasuredBests bests;
        for (int i = 0; i < kinds; ++i) {
            if (sqlite3_column_type(statement, 2 + i) == SQLITE_NULL)
                bests.route.emplace_back();
            else
                bests.route.emplace_back(sqlite3_column_double(statement, 2 + i));
        }
        bests.power = powerFromBlob(sqlite3_column_blob(statement, 2 + kinds),
                                    sqlite3_column_bytes(statement, 2 + kinds));
        entries.push_back({*rideID, seriesKey, std::move(bests), false});
    }
    std::sort(entries.begin(), entries.end(), [](const CachedEntry& a, const CachedEntry& b) {
        return sortKey(a.rideID, a.seriesKey) < sortKey(b.rideID, b.seriesKey);
    });
    sqlite3_reset(statement);
    // Entries read before the damage showed are sound; the file is not.
    if (status != SQLITE_DONE) db.recover();
    return entries;
}

void RecordsCache::Impl::write(const EntryKey& key, const MeasuredBests& entry) {
    if (!db.beginWrite()) return;
    // The entry of the series as they were before a trim or undo is of no further use.
    sqlite3_stmt* older =
        db.statement("DELETE FROM routeBests WHERE rideID = ?1 AND seriesKey <> ?2");
    if (!older) return db.recover();
    sqlite3_bind_text(older, 1, key.first.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(older, 2, key.second);
    if (sqlite3_step(older) != SQLITE_DONE) return db.recover();
    sqlite3_reset(older);

    const auto& bests = entry.route;
    std::string sql = "INSERT OR REPLACE INTO routeBests(rideID, seriesKey" + columnList() +
                      ", powerCurve) VALUES (?1, ?2";
    const auto kinds = PersonalRecords::routeRecordKinds().size();
    for (std::size_t i = 0; i < kinds + 1; ++i) sql += ", ?" + std::to_string(i + 3);
    sql += ")";
    sqlite3_stmt* statement = db.statement(sql);
    if (!statement) return db.recover();
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
    if (sqlite3_step(statement) != SQLITE_DONE) return db.recover();
    sqlite3_reset(statement);
}

std::filesystem::path RecordsCache::fileFor(const std::filesystem::path& storeLocation) {
    return CacheDatabase::fileFor("records", storeLocation);
}

RecordsCache::RecordsCache(std::filesystem::path file)
    : m_impl(std::make_unique<Impl>(std::move(file))) {}

RecordsCache::~RecordsCache() = default;

std::size_t RecordsCache::measuredByLastUpdate() const {
    return m_impl->measured;
}

bool RecordsCache::persistent() const {
    return m_impl->db.onDisk();
}

std::optional<std::vector<PersonalRecords::ActivityBests>> RecordsCache::update(
    RideStore& store, const Progress& progress, const CancellationToken* cancellation) {
    auto& impl = *m_impl;
    impl.measured = 0;
    auto rides = store.liveSummaries();
    Entries cached = impl.readEntries();
    const std::size_t cachedCount = cached.size();
    std::vector<PersonalRecords::ActivityBests> activities(rides.size());
    std::vector<PendingRoute> batch;
    std::size_t resolved = 0;
    std::size_t reused = 0;
    auto report = [&] {
        if (progress) progress(++resolved, rides.size());
    };
    auto measureBatch = [&] {
        measureAll(batch, activities);
        for (const auto& pending : batch) {
            const auto& activity = activities[pending.index];
            impl.write(pending.key, {activity.route, activity.powerCurve});
            report();
        }
        impl.measured += batch.size();
        impl.db.commit();
        batch.clear();
    };
    // The entry of this activity under `key`, moved out of `cached` (each is used once).
    auto take = [&cached, &reused](const Uuid& rideID,
                                   std::int64_t key) -> std::optional<MeasuredBests> {
        auto entry =
            std::lower_bound(cached.begin(), cached.end(), std::pair(rideID, key), entryBefore);
        if (entry == cached.end() || entry->rideID != rideID || entry->seriesKey != key ||
            entry->used)
            return std::nullopt;
        entry->used = true;
        ++reused;
        return std::move(entry->bests);
    };
    for (std::size_t i = 0; i < rides.size(); ++i) {
        if (cancellation && cancellation->isCancelled()) return std::nullopt;
        activities[i] = summaryOf(rides[i]);
        std::optional<MeasuredBests> found;
        if (rides[i].seriesMark) found = take(rides[i].rideID, *rides[i].seriesMark);
        StoredSeries series;
        EntryKey key;
        if (!found) {
            key.first = rides[i].rideID.toString();
            // New or changed since measured: the two series alone, never the photos. The key
            // is the mark read with them, should the series change again meanwhile.
            series = store.storedSeries(rides[i].objectID);
            key.second = CacheDatabase::seriesKey(series);
            found = take(rides[i].rideID, key.second);
        }
        if (found) {
            activities[i].route = std::move(found->route);
            activities[i].powerCurve = std::move(found->power);
            report();
        } else {
            batch.push_back({i, std::move(key), std::move(series.route), std::move(series.power)});
        }
        if (batch.size() == kRoutesPerBatch) measureBatch();
    }
    measureBatch();
    // Every entry was used: none is left to drop, and the file need not be read again.
    if (reused != cachedCount || cachedCount == 0) {
        std::unordered_set<std::string> live;
        live.reserve(rides.size());
        for (const auto& activity : activities) live.insert(activity.rideID.toString());
        impl.db.prune("routeBests", live);
    }
    return activities;
}

}  // namespace vantrel
