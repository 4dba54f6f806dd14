#include "model/RideStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <limits>
#include <thread>
#include <unordered_map>

#include "model/RideStoreSchema.h"
#include "model/SqliteStatement.h"

namespace vantrel {

namespace {

constexpr int kBusyTimeoutMilliseconds = 5000;
// Years walked one by one while the store cannot say which year comes next; a store failing
// that long has nothing more to list, and a far-future date must not make the walk endless.
constexpr int kMostBlindYearSteps = 64;

struct Entry {
    PersistedRide* object = nullptr;
    std::weak_ptr<PersistedRide> ride;
    /// The values as last read from or written to the file.
    PersistedRide snapshot;
    bool detailsLoaded = false;
};

bool photosChanged(const PersistedRide& ride, const PersistedRide& snapshot) {
    if (ride.photos.size() != snapshot.photos.size()) return true;
    for (std::size_t i = 0; i < ride.photos.size(); ++i) {
        if (!(ride.photos[i] == snapshot.photos[i])) return true;
    }
    return false;
}

bool isDirty(const PersistedRide& ride, const Entry& entry) {
    for (const auto& column : rideColumns()) {
        if (!column.same(ride, entry.snapshot)) return true;
    }
    return photosChanged(ride, entry.snapshot);
}

/// Held records by row id. Shared with the deleters of the handed-out records so that a
/// record dropped with unsaved changes is kept until the next save instead of losing them.
struct Registry {
    std::unordered_map<std::int64_t, Entry> entries;
    std::vector<RideRef> retained;
};

struct RetainingDeleter {
    std::weak_ptr<Registry> registry;
    void operator()(PersistedRide* ride) const;
};

void RetainingDeleter::operator()(PersistedRide* ride) const {
    if (auto held = registry.lock()) {
        auto found = held->entries.find(ride->objectID);
        if (found != held->entries.end() && found->second.object == ride) {
            if (isDirty(*ride, found->second)) {
                RideRef kept(ride, *this);
                found->second.ride = kept;
                held->retained.push_back(std::move(kept));
                return;
            }
            held->entries.erase(found);
        }
    }
    delete ride;
}

bool matches(const RideQuery& query, const PersistedRide& ride) {
    if (query.liveOnly && ride.deletedAt) return false;
    if (query.cityMissingOnly && ride.city) return false;
    if (query.dateFrom && !(ride.date >= *query.dateFrom)) return false;
    if (query.dateBefore && !(ride.date < *query.dateBefore)) return false;
    return true;
}

std::string whereClause(const RideQuery& query) {
    std::vector<std::string> terms;
    if (query.liveOnly) terms.emplace_back("deletedAt IS NULL");
    if (query.cityMissingOnly) terms.emplace_back("city IS NULL");
    if (query.dateFrom) terms.emplace_back("date >= :from");
    if (query.dateBefore) terms.emplace_back("date < :before");
    std::string sql;
    for (const auto& term : terms) sql += (sql.empty() ? " WHERE " : " AND ") + term;
    return sql;
}

void bindQueryDates(sqlite3_stmt* statement, const RideQuery& query) {
    if (query.dateFrom)
        sqlite3_bind_double(statement, sqlite3_bind_parameter_index(statement, ":from"),
                            *query.dateFrom);
    if (query.dateBefore)
        sqlite3_bind_double(statement, sqlite3_bind_parameter_index(statement, ":before"),
                            *query.dateBefore);
}

std::string orderClause(RideQuery::Order order) {
    switch (order) {
        case RideQuery::Order::dateAscending:
            return " ORDER BY date ASC, id ASC";
        case RideQuery::Order::dateDescending:
            return " ORDER BY date DESC, id DESC";
        case RideQuery::Order::none:
            break;
    }
    return "";
}

std::string rideSelectList(bool withDetails) {
    std::string sql = "id";
    for (const auto& column : rideColumns()) {
        if (withDetails || !column.detail) sql += std::string(", ") + column.name;
    }
    return sql;
}

std::string photoSelectList() {
    std::string sql = "id";
    for (const auto& column : photoColumns()) sql += std::string(", ") + column.name;
    return sql;
}

void sortByQuery(std::vector<RideRef>& rides, RideQuery::Order order) {
    if (order == RideQuery::Order::none) return;
    bool ascending = order == RideQuery::Order::dateAscending;
    std::stable_sort(rides.begin(), rides.end(), [ascending](const RideRef& a, const RideRef& b) {
        return ascending ? a->date < b->date : a->date > b->date;
    });
}

bool hasSQLiteHeader(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[16] = {};
    in.read(header, sizeof header);
    return in.gcount() == 16 &&
           std::string_view(header, 16) == std::string_view("SQLite format 3\0", 16);
}

RideQuery liveQuery(bool withDetails) {
    RideQuery query;
    query.liveOnly = true;
    query.withDetails = withDetails;
    return query;
}

RideQuery inYear(RideQuery query, int year) {
    query.dateFrom = startOfLocalYear(year);
    query.dateBefore = startOfLocalYear(year + 1);
    return query;
}

RideQuery newestOrOldest(RideQuery query, RideQuery::Order order) {
    query.order = order;
    query.limit = 1;
    return query;
}

bool contains(const std::vector<RideRef>& rides, const RideRef& ride) {
    return std::find(rides.begin(), rides.end(), ride) != rides.end();
}

}  // namespace

struct RideStore::Impl {
    std::filesystem::path file;
    sqlite3* db = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements;
    std::shared_ptr<Registry> registry = std::make_shared<Registry>();
    std::vector<RideRef> pendingInserts;
    std::vector<RideRef> pendingRemovals;

    ~Impl();
    [[noreturn]] void fail(const std::string& what) const;
    void execute(const std::string& sql);
    SqliteStatement prepare(const std::string& sql);
    void stepToEnd(SqliteStatement& statement);
    std::int64_t pragmaInteger(const char* pragma);

    void openConnection();
    void checkSchema();
    void enableWriteAheadLog();
    std::int64_t readSchemaVersion();
    std::int64_t tableCount();

    RideRef materialize(sqlite3_stmt* row, bool withDetails);
    std::vector<RidePhoto> readPhotos(std::int64_t rideID);
    void readDetails(std::int64_t rowID, PersistedRide& target);
    void loadDetails(PersistedRide& ride, Entry& entry);
    std::vector<RideRef> fetchStored(const RideQuery& query, bool applyLimit);
    std::int64_t countStored(const RideQuery& query);
    bool hasPending() const { return !pendingInserts.empty() || !pendingRemovals.empty(); }

    struct SaveEffects {
        std::vector<std::pair<RideRef, std::int64_t>> insertedRides;
        std::vector<std::pair<RidePhoto*, std::int64_t>> insertedPhotos;
    };
    void writeAll(SaveEffects& effects);
    void writeChanges(SaveEffects& effects);
    void writeInsert(const RideRef& ride, SaveEffects& effects);
    std::optional<std::string> tryWriteInsert(const RideRef& ride, SaveEffects& effects);
    template <typename Write>
    void inTransaction(Write write);
    std::int64_t insertRide(const PersistedRide& ride);
    void updateRide(const PersistedRide& ride, const Entry& entry);
    void writePhotos(PersistedRide& ride, std::int64_t rowID, const std::vector<RidePhoto>& stored,
                     SaveEffects& effects);
    std::int64_t insertPhoto(const RidePhoto& photo, std::int64_t rowID);
    void updatePhoto(const RidePhoto& photo);
    void applyEffects(SaveEffects& effects);
    std::vector<std::pair<PersistedRide*, Entry*>> heldRecords();
};

RideStore::Impl::~Impl() {
    for (auto& [sql, statement] : statements) sqlite3_finalize(statement);
    if (db) sqlite3_close_v2(db);
}

void RideStore::Impl::fail(const std::string& what) const {
    std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
    throw StoreError("Store " + file.string() + ": " + what + " (" + reason + ")");
}

void RideStore::Impl::execute(const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail("cannot write");
}

SqliteStatement RideStore::Impl::prepare(const std::string& sql) {
    auto found = statements.find(sql);
    if (found != statements.end()) return SqliteStatement(found->second);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK)
        fail("cannot read");
    statements.emplace(sql, statement);
    return SqliteStatement(statement);
}

void RideStore::Impl::stepToEnd(SqliteStatement& statement) {
    if (statement.step() != SQLITE_DONE) fail("cannot write");
}

std::int64_t RideStore::Impl::pragmaInteger(const char* pragma) {
    auto statement = prepare(std::string("PRAGMA ") + pragma);
    if (statement.step() != SQLITE_ROW) fail("cannot read");
    return sqlite3_column_int64(statement.get(), 0);
}

void RideStore::Impl::openConnection() {
    std::error_code error;
    bool exists = std::filesystem::exists(file, error);
    if (exists && std::filesystem::file_size(file, error) > 0 && !hasSQLiteHeader(file))
        throw StoreError("Store " + file.string() + ": not a Vantrel store (not an SQLite file)");
    if (!exists && file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) fail("cannot open");
    if (sqlite3_db_readonly(db, "main") == 1) {
        throw StoreError("Store " + file.string() + ": cannot open (no permission to write)");
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMilliseconds);
    sqlite3_extended_result_codes(db, 1);
}

// Switching a new file to the write-ahead log needs the file to itself, and SQLite answers
// "locked" at once instead of waiting through the busy handler: a second process opening the
// same new store at the same moment waits here instead of failing.
void RideStore::Impl::enableWriteAheadLog() {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(kBusyTimeoutMilliseconds);
    for (;;) {
        int status = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (status == SQLITE_OK) return;
        bool busy = (status & 0xFF) == SQLITE_BUSY || (status & 0xFF) == SQLITE_LOCKED;
        if (!busy || Clock::now() > deadline) fail("cannot write");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::int64_t RideStore::Impl::tableCount() {
    auto tables = prepare("SELECT count(*) FROM sqlite_master");
    if (tables.step() != SQLITE_ROW) fail("cannot read");
    return sqlite3_column_int64(tables.get(), 0);
}

// The version and the tables are read in one snapshot: another process may be creating the
// tables of a new store at this very moment.
std::int64_t RideStore::Impl::readSchemaVersion() {
    execute("BEGIN");
    try {
        auto version = pragmaInteger("user_version");
        bool foreign = version == 0 && pragmaInteger("page_count") > 0 && tableCount() > 0;
        execute("COMMIT");
        if (version > kStoreSchemaVersion)
            throw StoreError("Store " + file.string() + ": written by a newer version (schema " +
                             std::to_string(version) + ")");
        if (foreign)
            throw StoreError("Store " + file.string() + ": not a Vantrel store (unknown tables)");
        return version;
    } catch (const StoreError&) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void RideStore::Impl::checkSchema() {
    auto version = readSchemaVersion();
    enableWriteAheadLog();
    execute("PRAGMA foreign_keys=ON");
    if (version == kStoreSchemaVersion) return;
    execute("BEGIN IMMEDIATE");
    try {
        // Another process opening a new store at the same moment may have created the tables
        // while this one waited for the write lock.
        if (pragmaInteger("user_version") != kStoreSchemaVersion)
            execute(schemaSQL() + "PRAGMA user_version=" + std::to_string(kStoreSchemaVersion) +
                    ";");
        execute("COMMIT");
    } catch (const StoreError&) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

RideRef RideStore::Impl::materialize(sqlite3_stmt* row, bool withDetails) {
    std::int64_t rowID = sqlite3_column_int64(row, 0);
    auto found = registry->entries.find(rowID);
    if (found != registry->entries.end()) {
        if (auto held = found->second.ride.lock()) {
            if (withDetails && !found->second.detailsLoaded) loadDetails(*held, found->second);
            return held;
        }
    }
    auto ride = std::make_unique<PersistedRide>();
    ride->objectID = rowID;
    int index = 1;
    for (const auto& column : rideColumns()) {
        if (withDetails || !column.detail) column.read(row, index++, *ride);
    }
    if (withDetails) ride->photos = readPhotos(rowID);
    Entry entry{ride.get(), {}, *ride, withDetails};
    RideRef shared(ride.release(), RetainingDeleter{registry});
    entry.ride = shared;
    registry->entries[rowID] = std::move(entry);
    return shared;
}

std::vector<RidePhoto> RideStore::Impl::readPhotos(std::int64_t rideID) {
    auto statement =
        prepare("SELECT " + photoSelectList() + " FROM RidePhoto WHERE ride = ?1 ORDER BY id");
    sqlite3_bind_int64(statement.get(), 1, rideID);
    std::vector<RidePhoto> photos;
    int status;
    while ((status = statement.step()) == SQLITE_ROW) {
        RidePhoto photo;
        photo.objectID = sqlite3_column_int64(statement.get(), 0);
        int index = 1;
        for (const auto& column : photoColumns()) column.read(statement.get(), index++, photo);
        photos.push_back(std::move(photo));
    }
    if (status != SQLITE_DONE) fail("cannot read");
    return photos;
}

void RideStore::Impl::readDetails(std::int64_t rowID, PersistedRide& target) {
    std::string sql = "SELECT id";
    for (const auto& column : rideColumns()) {
        if (column.detail) sql += std::string(", ") + column.name;
    }
    auto statement = prepare(sql + " FROM PersistedRide WHERE id = ?1");
    sqlite3_bind_int64(statement.get(), 1, rowID);
    if (statement.step() != SQLITE_ROW) return;
    int index = 1;
    for (const auto& column : rideColumns()) {
        if (column.detail) column.read(statement.get(), index++, target);
    }
}

void RideStore::Impl::loadDetails(PersistedRide& ride, Entry& entry) {
    PersistedRide stored = entry.snapshot;
    readDetails(ride.objectID, stored);
    stored.photos = readPhotos(ride.objectID);
    // Fields the caller already set keep the caller's value; the rest take the stored one.
    if (ride.routeData == entry.snapshot.routeData) ride.routeData = stored.routeData;
    if (ride.heartRateData == entry.snapshot.heartRateData)
        ride.heartRateData = stored.heartRateData;
    if (ride.powerData == entry.snapshot.powerData) ride.powerData = stored.powerData;
    if (ride.preTrimBackup == entry.snapshot.preTrimBackup)
        ride.preTrimBackup = stored.preTrimBackup;
    std::vector<RidePhoto> photos = stored.photos;
    for (const auto& photo : ride.photos) {
        if (photo.objectID == 0) photos.push_back(photo);
    }
    ride.photos = std::move(photos);
    entry.snapshot.routeData = stored.routeData;
    entry.snapshot.heartRateData = stored.heartRateData;
    entry.snapshot.powerData = stored.powerData;
    entry.snapshot.preTrimBackup = stored.preTrimBackup;
    entry.snapshot.photos = stored.photos;
    entry.detailsLoaded = true;
}

std::vector<RideRef> RideStore::Impl::fetchStored(const RideQuery& query, bool applyLimit) {
    std::string sql = "SELECT " + rideSelectList(query.withDetails) + " FROM PersistedRide" +
                      whereClause(query) + orderClause(query.order);
    if (applyLimit && query.limit)
        sql += " LIMIT " + std::to_string(std::max<std::int64_t>(0, *query.limit));
    auto statement = prepare(sql);
    bindQueryDates(statement.get(), query);
    std::vector<RideRef> rides;
    int status;
    while ((status = statement.step()) == SQLITE_ROW) {
        rides.push_back(materialize(statement.get(), query.withDetails));
    }
    if (status != SQLITE_DONE) fail("cannot read");
    return rides;
}

std::int64_t RideStore::Impl::countStored(const RideQuery& query) {
    auto statement = prepare("SELECT count(*) FROM PersistedRide" + whereClause(query));
    bindQueryDates(statement.get(), query);
    if (statement.step() != SQLITE_ROW) fail("cannot read");
    return sqlite3_column_int64(statement.get(), 0);
}

std::vector<std::pair<PersistedRide*, Entry*>> RideStore::Impl::heldRecords() {
    std::vector<std::pair<PersistedRide*, Entry*>> held;
    for (auto& [rowID, entry] : registry->entries) {
        if (!entry.ride.expired()) held.emplace_back(entry.object, &entry);
    }
    return held;
}

std::int64_t RideStore::Impl::insertRide(const PersistedRide& ride) {
    std::string names, values;
    int index = 1;
    for (const auto& column : rideColumns()) {
        names += std::string(names.empty() ? "" : ", ") + column.name;
        values += (values.empty() ? "?" : ", ?") + std::to_string(index++);
    }
    auto statement = prepare("INSERT INTO PersistedRide (" + names + ") VALUES (" + values + ")");
    index = 1;
    for (const auto& column : rideColumns()) column.bind(statement.get(), index++, ride);
    stepToEnd(statement);
    return sqlite3_last_insert_rowid(db);
}

void RideStore::Impl::updateRide(const PersistedRide& ride, const Entry& entry) {
    std::vector<const StoreColumn<PersistedRide>*> changed;
    for (const auto& column : rideColumns()) {
        if (!column.same(ride, entry.snapshot)) changed.push_back(&column);
    }
    if (changed.empty()) return;
    std::string sql = "UPDATE PersistedRide SET ";
    for (std::size_t i = 0; i < changed.size(); ++i)
        sql += std::string(i ? ", " : "") + changed[i]->name + " = ?" + std::to_string(i + 1);
    auto statement = prepare(sql + " WHERE id = ?" + std::to_string(changed.size() + 1));
    for (std::size_t i = 0; i < changed.size(); ++i)
        changed[i]->bind(statement.get(), static_cast<int>(i + 1), ride);
    sqlite3_bind_int64(statement.get(), static_cast<int>(changed.size() + 1), ride.objectID);
    stepToEnd(statement);
}

std::int64_t RideStore::Impl::insertPhoto(const RidePhoto& photo, std::int64_t rowID) {
    std::string names, values;
    int index = 1;
    for (const auto& column : photoColumns()) {
        names += std::string(column.name) + ", ";
        values += "?" + std::to_string(index++) + ", ";
    }
    auto statement = prepare("INSERT INTO RidePhoto (" + names + "ride) VALUES (" + values + "?" +
                             std::to_string(index) + ")");
    index = 1;
    for (const auto& column : photoColumns()) column.bind(statement.get(), index++, photo);
    sqlite3_bind_int64(statement.get(), index, rowID);
    stepToEnd(statement);
    return sqlite3_last_insert_rowid(db);
}

void RideStore::Impl::updatePhoto(const RidePhoto& photo) {
    std::string sql = "UPDATE RidePhoto SET ";
    int index = 1;
    for (const auto& column : photoColumns()) {
        sql += std::string(index > 1 ? ", " : "") + column.name + " = ?" + std::to_string(index);
        ++index;
    }
    auto statement = prepare(sql + " WHERE id = ?" + std::to_string(index));
    index = 1;
    for (const auto& column : photoColumns()) column.bind(statement.get(), index++, photo);
    sqlite3_bind_int64(statement.get(), index, photo.objectID);
    stepToEnd(statement);
}

void RideStore::Impl::writePhotos(PersistedRide& ride, std::int64_t rowID,
                                  const std::vector<RidePhoto>& stored, SaveEffects& effects) {
    for (const auto& old : stored) {
        auto kept = std::find_if(ride.photos.begin(), ride.photos.end(),
                                 [&](const RidePhoto& p) { return p.objectID == old.objectID; });
        if (kept == ride.photos.end()) {
            auto statement = prepare("DELETE FROM RidePhoto WHERE id = ?1");
            sqlite3_bind_int64(statement.get(), 1, old.objectID);
            stepToEnd(statement);
        } else if (!(*kept == old)) {
            updatePhoto(*kept);
        }
    }
    for (auto& photo : ride.photos) {
        if (photo.objectID == 0)
            effects.insertedPhotos.emplace_back(&photo, insertPhoto(photo, rowID));
    }
}

void RideStore::Impl::writeAll(SaveEffects& effects) {
    writeChanges(effects);
    for (const auto& ride : pendingInserts) writeInsert(ride, effects);
}

void RideStore::Impl::writeInsert(const RideRef& ride, SaveEffects& effects) {
    std::int64_t rowID = insertRide(*ride);
    effects.insertedRides.emplace_back(ride, rowID);
    writePhotos(*ride, rowID, {}, effects);
}

namespace {

// Failures that come from the record's own values (a constraint, a value too large), as
// opposed to the file (full, locked, damaged), which no other record would escape either.
bool isRecordFault(int errorCode) {
    switch (errorCode & 0xFF) {
        case SQLITE_CONSTRAINT:
        case SQLITE_MISMATCH:
        case SQLITE_TOOBIG:
        case SQLITE_RANGE:
            return true;
        default:
            return false;
    }
}

}  // namespace

// A savepoint around the one record undoes its row and photos alone, so the transaction (and
// every other record in it) goes on.
std::optional<std::string> RideStore::Impl::tryWriteInsert(const RideRef& ride,
                                                           SaveEffects& effects) {
    std::size_t rides = effects.insertedRides.size();
    std::size_t photos = effects.insertedPhotos.size();
    execute("SAVEPOINT oneRecord");
    try {
        writeInsert(ride, effects);
    } catch (const StoreError& error) {
        if (!isRecordFault(sqlite3_extended_errcode(db))) throw;
        execute("ROLLBACK TO oneRecord");
        execute("RELEASE oneRecord");
        effects.insertedRides.resize(rides);
        effects.insertedPhotos.resize(photos);
        return std::string(error.what());
    }
    execute("RELEASE oneRecord");
    return std::nullopt;
}

template <typename Write>
void RideStore::Impl::inTransaction(Write write) {
    execute("BEGIN IMMEDIATE");
    try {
        write();
        execute("COMMIT");
    } catch (const StoreError&) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void RideStore::Impl::writeChanges(SaveEffects& effects) {
    for (const auto& ride : pendingRemovals) {
        auto statement = prepare("DELETE FROM PersistedRide WHERE id = ?1");
        sqlite3_bind_int64(statement.get(), 1, ride->objectID);
        stepToEnd(statement);
    }
    for (auto& [ride, entry] : heldRecords()) {
        if (contains(pendingRemovals, entry->ride.lock())) continue;
        updateRide(*ride, *entry);
        if (photosChanged(*ride, entry->snapshot))
            writePhotos(*ride, ride->objectID, entry->snapshot.photos, effects);
    }
}

void RideStore::Impl::applyEffects(SaveEffects& effects) {
    for (auto& [photo, rowID] : effects.insertedPhotos) photo->objectID = rowID;
    for (auto& [ride, entry] : heldRecords()) {
        entry->snapshot = *ride;
    }
    for (const auto& ride : pendingRemovals) {
        auto found = registry->entries.find(ride->objectID);
        if (found != registry->entries.end() && found->second.object == ride.get())
            registry->entries.erase(found);
        ride->objectID = 0;
    }
    for (auto& [ride, rowID] : effects.insertedRides) {
        ride->objectID = rowID;
        registry->entries[rowID] = Entry{ride.get(), ride, *ride, true};
    }
    pendingInserts.clear();
    pendingRemovals.clear();
    auto released = std::move(registry->retained);
    registry->retained.clear();
    // Records the caller made itself (inserts) have no retaining deleter; once nobody holds
    // them their snapshots must go, or a bulk import would keep a copy of every record.
    std::erase_if(registry->entries, [](const auto& item) { return item.second.ride.expired(); });
}

RideStore::RideStore(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

RideStore::~RideStore() = default;

std::unique_ptr<RideStore> RideStore::open(const std::filesystem::path& file) {
    auto impl = std::make_unique<Impl>();
    impl->file = file;
    impl->openConnection();
    impl->checkSchema();
    return std::unique_ptr<RideStore>(new RideStore(std::move(impl)));
}

const std::filesystem::path& RideStore::path() const {
    return m_impl->file;
}

std::vector<RideRef> RideStore::fetch(const RideQuery& query) {
    if (!m_impl->hasPending()) return m_impl->fetchStored(query, true);
    auto rides = m_impl->fetchStored(query, false);
    std::erase_if(rides,
                  [&](const RideRef& ride) { return contains(m_impl->pendingRemovals, ride); });
    for (const auto& ride : m_impl->pendingInserts) {
        if (matches(query, *ride)) rides.push_back(ride);
    }
    sortByQuery(rides, query.order);
    if (query.limit && static_cast<std::int64_t>(rides.size()) > *query.limit)
        rides.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, *query.limit)));
    return rides;
}

std::int64_t RideStore::count(const RideQuery& query) {
    std::int64_t total = m_impl->countStored(query);
    for (const auto& ride : m_impl->pendingInserts) total += matches(query, *ride) ? 1 : 0;
    for (const auto& ride : m_impl->pendingRemovals) total -= matches(query, *ride) ? 1 : 0;
    return std::max<std::int64_t>(0, total);
}

void RideStore::loadDetails(const RideRef& ride) {
    if (!ride || ride->objectID == 0) return;
    auto found = m_impl->registry->entries.find(ride->objectID);
    if (found == m_impl->registry->entries.end() || found->second.object != ride.get()) return;
    if (!found->second.detailsLoaded) m_impl->loadDetails(*ride, found->second);
}

RideRef RideStore::fetchByRideID(const Uuid& rideID) {
    for (const auto& ride : m_impl->pendingInserts) {
        if (ride->rideID == rideID && !ride->deletedAt) return ride;
    }
    auto statement = m_impl->prepare("SELECT " + rideSelectList(true) +
                                     " FROM PersistedRide WHERE rideID = ?1 AND deletedAt IS NULL"
                                     " ORDER BY id");
    bindValue(statement.get(), 1, rideID);
    int status;
    while ((status = statement.step()) == SQLITE_ROW) {
        auto ride = m_impl->materialize(statement.get(), true);
        if (!contains(m_impl->pendingRemovals, ride)) return ride;
    }
    if (status != SQLITE_DONE) m_impl->fail("cannot read");
    return nullptr;
}

std::optional<Bytes> RideStore::storedRouteData(std::int64_t objectID) {
    auto statement = m_impl->prepare("SELECT routeData FROM PersistedRide WHERE id = ?1");
    bindValue(statement.get(), 1, objectID);
    std::optional<Bytes> bytes;
    int status = statement.step();
    if (status == SQLITE_ROW)
        readValue(statement.get(), 0, bytes);
    else if (status != SQLITE_DONE)
        m_impl->fail("cannot read");
    return bytes;
}

void RideStore::insert(const RideRef& ride) {
    if (!ride) return;
    auto& removals = m_impl->pendingRemovals;
    if (contains(removals, ride)) {
        std::erase(removals, ride);
        return;
    }
    if (ride->objectID != 0 || contains(m_impl->pendingInserts, ride)) return;
    m_impl->pendingInserts.push_back(ride);
}

void RideStore::remove(const RideRef& ride) {
    if (!ride) return;
    if (contains(m_impl->pendingInserts, ride)) {
        std::erase(m_impl->pendingInserts, ride);
        return;
    }
    if (ride->objectID != 0 && !contains(m_impl->pendingRemovals, ride))
        m_impl->pendingRemovals.push_back(ride);
}

void RideStore::save() {
    Impl::SaveEffects effects;
    m_impl->inTransaction([&] { m_impl->writeAll(effects); });
    m_impl->applyEffects(effects);
}

std::vector<RideStore::UnwritableRecord> RideStore::saveDroppingUnwritable() {
    Impl::SaveEffects effects;
    std::vector<UnwritableRecord> dropped;
    m_impl->inTransaction([&] {
        dropped.clear();
        m_impl->writeChanges(effects);
        for (const auto& ride : m_impl->pendingInserts) {
            if (auto reason = m_impl->tryWriteInsert(ride, effects))
                dropped.push_back({ride, std::move(*reason)});
        }
    });
    m_impl->applyEffects(effects);
    return dropped;
}

bool RideStore::autosave() {
    try {
        if (hasChanges()) save();
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

bool RideStore::hasChanges() const {
    if (m_impl->hasPending()) return true;
    for (auto& [ride, entry] : m_impl->heldRecords()) {
        if (isDirty(*ride, *entry)) return true;
    }
    return false;
}

void RideStore::refreshAll() {
    m_impl->pendingInserts.clear();
    m_impl->pendingRemovals.clear();
    for (auto& [ride, entry] : m_impl->heldRecords()) {
        auto statement = m_impl->prepare("SELECT " + rideSelectList(entry->detailsLoaded) +
                                         " FROM PersistedRide WHERE id = ?1");
        sqlite3_bind_int64(statement.get(), 1, ride->objectID);
        if (statement.step() != SQLITE_ROW) continue;
        int index = 1;
        for (const auto& column : rideColumns()) {
            if (entry->detailsLoaded || !column.detail)
                column.read(statement.get(), index++, *ride);
        }
        if (entry->detailsLoaded) ride->photos = m_impl->readPhotos(ride->objectID);
        entry->snapshot = *ride;
    }
    auto released = std::move(m_impl->registry->retained);
    m_impl->registry->retained.clear();
}

std::int64_t RideStore::dataVersion() {
    return m_impl->pragmaInteger("data_version");
}

std::vector<YearSummary> RideStore::yearSummaries() {
    std::vector<RideRef> oldest, newest;
    try {
        oldest = fetch(newestOrOldest(liveQuery(false), RideQuery::Order::dateAscending));
        newest = fetch(newestOrOldest(liveQuery(false), RideQuery::Order::dateDescending));
    } catch (const StoreError&) {
        return {};
    }
    if (oldest.empty() || newest.empty()) return {};
    // A device with a wrong clock dates activities in the future; they must still be listed.
    int year = std::max(localYear(now()), localYear(newest.front()->date));
    int firstYear = localYear(oldest.front()->date);
    std::vector<YearSummary> summaries;
    int failedSteps = 0;
    while (year >= firstYear && failedSteps < kMostBlindYearSteps) {
        // A year that cannot be counted is left out; the older ones are still listed.
        try {
            if (auto count = this->count(inYear(liveQuery(false), year)); count > 0)
                summaries.push_back({year, count});
        } catch (const StoreError&) {
        }
        auto next = nextOlderYear(year);
        failedSteps = next ? 0 : failedSteps + 1;
        year = next.value_or(year - 1);
    }
    return summaries;
}

// The next older year that has an activity (the minimum of int when there is none), or nothing
// when the store cannot tell.
std::optional<int> RideStore::nextOlderYear(int year) {
    RideQuery older = liveQuery(false);
    older.dateBefore = startOfLocalYear(year);
    try {
        auto next = fetch(newestOrOldest(older, RideQuery::Order::dateDescending));
        if (next.empty()) return std::numeric_limits<int>::min();
        return std::min(year - 1, localYear(next.front()->date));
    } catch (const StoreError&) {
        return std::nullopt;
    }
}

std::vector<RideRef> RideStore::activitiesOfYear(int year, bool withDetails) {
    RideQuery query = inYear(liveQuery(withDetails), year);
    query.order = RideQuery::Order::dateDescending;
    try {
        return fetch(query);
    } catch (const StoreError&) {
        return {};
    }
}

std::vector<RideRef> RideStore::allLiveActivities(bool withDetails) {
    return fetch(liveQuery(withDetails));
}

std::vector<RideRef> RideStore::allRecords(bool withDetails) {
    RideQuery query;
    query.withDetails = withDetails;
    return fetch(query);
}

std::vector<RideRef> RideStore::activitiesToLocate(bool missingCityOnly, std::optional<int> year) {
    RideQuery query = liveQuery(false);
    query.cityMissingOnly = missingCityOnly;
    query.order = RideQuery::Order::dateDescending;
    return fetch(year ? inYear(query, *year) : query);
}

}  // namespace vantrel
