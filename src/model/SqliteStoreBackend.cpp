#include "model/SqliteStoreBackend.h"

#include <chrono>
#include <functional>
#include <thread>

#include "model/RideStore.h"
#include "model/RideStoreSchema.h"
#include "model/SqliteStatement.h"
#include "model/StoreStatements.h"

namespace vantrel {

namespace {

constexpr int kBusyTimeoutMilliseconds = 5000;

const StoreStatements kStatements{kSqliteDialect};

// The query's values are numbers only: a date or a row id.
void bindQueryValues(sqlite3_stmt* statement, const std::vector<StoreValue>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!values[i]) continue;
        auto index = static_cast<int>(i + 1);
        if (auto real = std::get_if<double>(&*values[i]))
            sqlite3_bind_double(statement, index, *real);
        if (auto integer = std::get_if<std::int64_t>(&*values[i]))
            sqlite3_bind_int64(statement, index, *integer);
    }
}

template <typename Record>
void bindColumn(sqlite3_stmt* statement, int index, const StoreColumn<Record>& column,
                const Record& record) {
    column.apply(record, [&](const auto& value) { bindValue(statement, index, value); });
}

template <typename Record>
void readColumn(sqlite3_stmt* row, int index, const StoreColumn<Record>& column, Record& record) {
    column.apply(record, [&](auto& value) { readValue(row, index, value); });
}

void readRideColumns(sqlite3_stmt* row, bool withDetails, PersistedRide& ride) {
    int index = 1;
    for (const auto& column : rideColumns()) {
        if (withDetails || !column.detail) readColumn(row, index++, column, ride);
    }
}

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

std::unique_ptr<SqliteStoreBackend> SqliteStoreBackend::open(const std::filesystem::path& file) {
    std::unique_ptr<SqliteStoreBackend> backend(new SqliteStoreBackend(file));
    backend->openConnection();
    backend->checkSchema();
    return backend;
}

SqliteStoreBackend::~SqliteStoreBackend() {
    for (auto& [sql, statement] : m_statements) sqlite3_finalize(statement);
    if (m_db) sqlite3_close_v2(m_db);
}

void SqliteStoreBackend::fail(const std::string& what) const {
    // SQLite reads the header lazily, on the first statement: this is where a file that is not
    // a database shows itself.
    if (m_db && (sqlite3_extended_errcode(m_db) & 0xFF) == SQLITE_NOTADB)
        throw StoreError("Store " + m_file.string() + ": not a Vantrel store (not an SQLite file)");
    std::string reason = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    throw StoreError("Store " + m_file.string() + ": " + what + " (" + reason + ")");
}

void SqliteStoreBackend::execute(const std::string& sql) {
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("cannot write");
}

SqliteStatement SqliteStoreBackend::prepare(const std::string& sql) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end()) return SqliteStatement(found->second);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
        SQLITE_OK)
        fail("cannot read");
    m_statements.emplace(sql, statement);
    return SqliteStatement(statement);
}

void SqliteStoreBackend::stepToEnd(SqliteStatement& statement) {
    if (statement.step() != SQLITE_DONE) fail("cannot write");
}

std::int64_t SqliteStoreBackend::pragmaInteger(const char* pragma) {
    auto statement = prepare(std::string("PRAGMA ") + pragma);
    if (statement.step() != SQLITE_ROW) fail("cannot read");
    return sqlite3_column_int64(statement.get(), 0);
}

// The file is never opened here outside SQLite, not even to peek at its header: POSIX locks
// belong to the process, so closing any other descriptor of a file that a connection of this
// process has open drops that connection's locks, and the next reader in another process then
// takes itself for the last one and deletes the write-ahead log under our feet.
void SqliteStoreBackend::openConnection() {
    std::error_code error;
    bool exists = std::filesystem::exists(m_file, error);
    if (!exists && m_file.has_parent_path())
        std::filesystem::create_directories(m_file.parent_path(), error);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(m_file.c_str(), &m_db, flags, nullptr) != SQLITE_OK) fail("cannot open");
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        throw StoreError("Store " + m_file.string() + ": cannot open (no permission to write)");
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMilliseconds);
    sqlite3_extended_result_codes(m_db, 1);
}

// Switching a new file to the write-ahead log needs the file to itself, and SQLite answers
// "locked" at once instead of waiting through the busy handler: a second process opening the
// same new store at the same moment waits here instead of failing.
void SqliteStoreBackend::enableWriteAheadLog() {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(kBusyTimeoutMilliseconds);
    for (;;) {
        int status = sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (status == SQLITE_OK) return;
        bool busy = (status & 0xFF) == SQLITE_BUSY || (status & 0xFF) == SQLITE_LOCKED;
        if (!busy || Clock::now() > deadline) fail("cannot write");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::int64_t SqliteStoreBackend::tableCount() {
    auto tables = prepare("SELECT count(*) FROM sqlite_master");
    if (tables.step() != SQLITE_ROW) fail("cannot read");
    return sqlite3_column_int64(tables.get(), 0);
}

// The version and the tables are read in one snapshot: another process may be creating the
// tables of a new store at this very moment.
std::int64_t SqliteStoreBackend::readSchemaVersion() {
    execute("BEGIN");
    try {
        auto version = pragmaInteger("user_version");
        bool foreign = version == 0 && pragmaInteger("page_count") > 0 && tableCount() > 0;
        execute("COMMIT");
        if (version > kStoreSchemaVersion)
            throw StoreError("Store " + m_file.string() + ": written by a newer version (schema " +
                             std::to_string(version) + ")");
        if (foreign)
            throw StoreError("Store " + m_file.string() + ": not a Vantrel store (unknown tables)");
        return version;
    } catch (const StoreError&) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteStoreBackend::checkSchema() {
    auto version = readSchemaVersion();
    enableWriteAheadLog();
    execute("PRAGMA foreign_keys=ON");
    if (version == kStoreSchemaVersion) return addSeriesMarks();
    execute("BEGIN IMMEDIATE");
    try {
        // Another process opening the same store at the same moment may have created or
        // upgraded the tables while this one waited for the write lock.
        upgradeSchema(pragmaInteger("user_version"));
        execute("COMMIT");
    } catch (const StoreError&) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_renamedTwins.clear();
        throw;
    }
    addSeriesMarks();
}

// A column beside the record's fields rather than a schema version: programs that do not know
// it keep working on the store, and the triggers mark what they write too. Every row gets a
// random mark, so that a cache never mistakes one row's series for another state of it.
void SqliteStoreBackend::addSeriesMarks() {
    auto hasMarks = [this] {
        auto found = prepare(
            "SELECT count(*) FROM pragma_table_info('PersistedRide') WHERE name = 'seriesMark'");
        if (found.step() != SQLITE_ROW) fail("cannot read");
        return sqlite3_column_int64(found.get(), 0) > 0;
    };
    if (hasMarks()) {
        m_hasSeriesMarks = true;
        return addSummaryIndex();
    }
    try {
        addSeriesMarksOnce(hasMarks);
        m_hasSeriesMarks = true;
        addSummaryIndex();
    } catch (const StoreError&) {
        // A store this process may read but not change (a read-only file, a busy writer) still
        // opens; its caches then compare the series themselves, as before there were marks.
        m_hasSeriesMarks = false;
    }
}

void SqliteStoreBackend::addSeriesMarksOnce(const std::function<bool()>& hasMarks) {
    execute("BEGIN IMMEDIATE");
    try {
        // Another process may have added them while this one waited for the write lock.
        if (!hasMarks())
            execute(
                "ALTER TABLE PersistedRide ADD COLUMN seriesMark INTEGER;\n"
                "UPDATE PersistedRide SET seriesMark = random();\n"
                "CREATE TRIGGER PersistedRide_markInsert AFTER INSERT ON PersistedRide BEGIN "
                "UPDATE PersistedRide SET seriesMark = random() WHERE id = NEW.id; END;\n"
                "CREATE TRIGGER PersistedRide_markSeries AFTER UPDATE OF routeData, powerData ON "
                "PersistedRide BEGIN UPDATE PersistedRide SET seriesMark = random() WHERE id = "
                "NEW.id; END;\n");
        execute("COMMIT");
    } catch (const StoreError&) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteStoreBackend::upgradeSchema(std::int64_t version) {
    if (version == kStoreSchemaVersion) return;
    if (version == 0) {
        execute(kStatements.createTables());
    } else {
        makeRideIDsUnique();
    }
    execute("PRAGMA user_version=" + std::to_string(kStoreSchemaVersion));
}

// Twins are kept, not merged: the later one may hold edits of its own.
void SqliteStoreBackend::makeRideIDsUnique() {
    std::vector<TwinRow> rows;
    {
        auto twins = prepare(twinRowsSQL());
        int status;
        while ((status = twins.step()) == SQLITE_ROW) {
            auto text = sqlite3_column_text(twins.get(), 1);
            rows.push_back({sqlite3_column_int64(twins.get(), 0),
                            text ? reinterpret_cast<const char*>(text) : "",
                            sqlite3_column_double(twins.get(), 2)});
        }
        if (status != SQLITE_DONE) fail("cannot read");
    }
    m_renamedTwins = renameLaterTwins(rows);
    for (const auto& twin : m_renamedTwins) {
        auto update = prepare(kStatements.renameRideID());
        bindValue(update.get(), 1, twin.newRideID);
        sqlite3_bind_int64(update.get(), 2, twin.objectID);
        stepToEnd(update);
    }
    execute(uniqueRideIDSQL());
}

void SqliteStoreBackend::visitRows(SqliteStatement& statement, bool withDetails,
                                   const RowVisitor& visit) {
    sqlite3_stmt* row = statement.get();
    RowReader read = [row, withDetails](PersistedRide& ride) {
        readRideColumns(row, withDetails, ride);
    };
    int status;
    while ((status = statement.step()) == SQLITE_ROW) visit(sqlite3_column_int64(row, 0), read);
    if (status != SQLITE_DONE) fail("cannot read");
}

void SqliteStoreBackend::fetchRows(const RideQuery& query, bool applyLimit,
                                   const RowVisitor& visit) {
    std::vector<StoreValue> values;
    auto statement = prepare(kStatements.selectRides(query, applyLimit, values));
    bindQueryValues(statement.get(), values);
    visitRows(statement, query.withDetails, visit);
}

void SqliteStoreBackend::fetchLiveByRideID(const Uuid& rideID, const RowVisitor& visit) {
    auto statement = prepare(kStatements.selectLiveByRideID());
    bindValue(statement.get(), 1, rideID);
    visitRows(statement, true, visit);
}

std::optional<std::int64_t> SqliteStoreBackend::rowIDOfRideID(const Uuid& rideID) {
    auto statement = prepare(kStatements.selectRowIDOfRideID());
    bindValue(statement.get(), 1, rideID);
    int status = statement.step();
    if (status == SQLITE_ROW) return sqlite3_column_int64(statement.get(), 0);
    if (status != SQLITE_DONE) fail("cannot read");
    return std::nullopt;
}

std::int64_t SqliteStoreBackend::countRows(const RideQuery& query) {
    std::vector<StoreValue> values;
    auto statement = prepare(kStatements.countRides(query, values));
    bindQueryValues(statement.get(), values);
    if (statement.step() != SQLITE_ROW) fail("cannot read");
    return sqlite3_column_int64(statement.get(), 0);
}

bool SqliteStoreBackend::readRow(std::int64_t objectID, bool withDetails, PersistedRide& target) {
    auto statement = prepare(kStatements.selectRide(withDetails));
    sqlite3_bind_int64(statement.get(), 1, objectID);
    if (statement.step() != SQLITE_ROW) return false;
    readRideColumns(statement.get(), withDetails, target);
    return true;
}

void SqliteStoreBackend::readDetails(std::int64_t objectID, PersistedRide& target) {
    auto statement = prepare(kStatements.selectDetails());
    sqlite3_bind_int64(statement.get(), 1, objectID);
    if (statement.step() != SQLITE_ROW) return;
    int index = 1;
    for (const auto& column : rideColumns()) {
        if (column.detail) readColumn(statement.get(), index++, column, target);
    }
}

std::optional<Bytes> SqliteStoreBackend::readRouteData(std::int64_t objectID) {
    auto statement = prepare(kStatements.selectRouteData());
    sqlite3_bind_int64(statement.get(), 1, objectID);
    std::optional<Bytes> bytes;
    int status = statement.step();
    if (status == SQLITE_ROW)
        readValue(statement.get(), 0, bytes);
    else if (status != SQLITE_DONE)
        fail("cannot read");
    return bytes;
}

StoredSeries SqliteStoreBackend::readSeries(std::int64_t objectID) {
    auto statement = prepare(kStatements.selectSeries(m_hasSeriesMarks));
    sqlite3_bind_int64(statement.get(), 1, objectID);
    StoredSeries series;
    int status = statement.step();
    if (status == SQLITE_ROW) {
        readValue(statement.get(), 0, series.route);
        readValue(statement.get(), 1, series.power);
        if (sqlite3_column_type(statement.get(), 2) != SQLITE_NULL)
            series.mark = sqlite3_column_int64(statement.get(), 2);
    } else if (status != SQLITE_DONE) {
        fail("cannot read");
    }
    return series;
}

std::vector<RidePhoto> SqliteStoreBackend::readPhotos(std::int64_t rideObjectID) {
    auto statement = prepare(kStatements.selectPhotos());
    sqlite3_bind_int64(statement.get(), 1, rideObjectID);
    std::vector<RidePhoto> photos;
    int status;
    while ((status = statement.step()) == SQLITE_ROW) {
        RidePhoto photo;
        photo.objectID = sqlite3_column_int64(statement.get(), 0);
        int index = 1;
        for (const auto& column : photoColumns())
            readColumn(statement.get(), index++, column, photo);
        photos.push_back(std::move(photo));
    }
    if (status != SQLITE_DONE) fail("cannot read");
    return photos;
}

void SqliteStoreBackend::inTransaction(const std::function<void()>& write) {
    execute("BEGIN IMMEDIATE");
    try {
        write();
        execute("COMMIT");
    } catch (const StoreError&) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::optional<std::string> SqliteStoreBackend::tryAlone(const std::function<void()>& write) {
    return tryInSavepoint([this](const std::string& sql) { execute(sql); },
                          [this] { return isRecordFault(sqlite3_extended_errcode(m_db)); }, write);
}

std::int64_t SqliteStoreBackend::insertRide(const PersistedRide& ride) {
    auto statement = prepare(kStatements.insertRide());
    int index = 1;
    for (const auto& column : rideColumns()) bindColumn(statement.get(), index++, column, ride);
    stepToEnd(statement);
    return sqlite3_last_insert_rowid(m_db);
}

void SqliteStoreBackend::updateRide(const PersistedRide& ride,
                                    std::span<const std::size_t> columns) {
    auto statement = prepare(kStatements.updateRide(columns));
    for (std::size_t i = 0; i < columns.size(); ++i)
        bindColumn(statement.get(), static_cast<int>(i + 1), rideColumns()[columns[i]], ride);
    sqlite3_bind_int64(statement.get(), static_cast<int>(columns.size() + 1), ride.objectID);
    stepToEnd(statement);
}

void SqliteStoreBackend::deleteRide(std::int64_t objectID) {
    auto statement = prepare(kStatements.deleteRide());
    sqlite3_bind_int64(statement.get(), 1, objectID);
    stepToEnd(statement);
}

void SqliteStoreBackend::deleteRides(std::span<const std::int64_t> objectIDs) {
    if (objectIDs.empty()) return;
    // The identifiers go as one JSON array: one cached statement whatever their number.
    std::string list = "[";
    for (std::int64_t objectID : objectIDs)
        list += (list.size() > 1 ? "," : "") + std::to_string(objectID);
    auto statement =
        prepare("DELETE FROM PersistedRide WHERE id IN (SELECT value FROM json_each(?1))");
    sqlite3_bind_text(statement.get(), 1, (list + "]").c_str(), -1, SQLITE_TRANSIENT);
    stepToEnd(statement);
}

std::int64_t SqliteStoreBackend::insertPhoto(const RidePhoto& photo, std::int64_t rideObjectID) {
    auto statement = prepare(kStatements.insertPhoto());
    int index = 1;
    for (const auto& column : photoColumns()) bindColumn(statement.get(), index++, column, photo);
    sqlite3_bind_int64(statement.get(), index, rideObjectID);
    stepToEnd(statement);
    return sqlite3_last_insert_rowid(m_db);
}

void SqliteStoreBackend::updatePhoto(const RidePhoto& photo) {
    auto statement = prepare(kStatements.updatePhoto());
    int index = 1;
    for (const auto& column : photoColumns()) bindColumn(statement.get(), index++, column, photo);
    sqlite3_bind_int64(statement.get(), index, photo.objectID);
    stepToEnd(statement);
}

void SqliteStoreBackend::deletePhoto(std::int64_t objectID) {
    auto statement = prepare(kStatements.deletePhoto());
    sqlite3_bind_int64(statement.get(), 1, objectID);
    stepToEnd(statement);
}

std::int64_t SqliteStoreBackend::dataVersion() {
    return pragmaInteger("data_version");
}

namespace {

std::string kindCondition(const std::vector<std::string>& kinds, int firstIndex) {
    if (kinds.empty()) return "";
    std::string sql = " AND activityType IN (";
    for (std::size_t i = 0; i < kinds.size(); ++i)
        sql += (i ? ", ?" : "?") + std::to_string(firstIndex + static_cast<int>(i));
    return sql + ")";
}

void bindKinds(sqlite3_stmt* statement, const std::vector<std::string>& kinds, int firstIndex) {
    for (std::size_t i = 0; i < kinds.size(); ++i)
        sqlite3_bind_text(statement, firstIndex + static_cast<int>(i), kinds[i].data(),
                          static_cast<int>(kinds[i].size()), SQLITE_STATIC);
}

}  // namespace

void SqliteStoreBackend::inReadSnapshot(const std::function<void()>& read) {
    execute("BEGIN");
    try {
        read();
        execute("COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::optional<Date> SqliteStoreBackend::edgeLiveDate(Date from, Date before,
                                                     const std::vector<std::string>& kinds,
                                                     bool newest) {
    auto statement = prepare(std::string("SELECT date FROM PersistedRide WHERE deletedAt IS NULL"
                                         " AND date >= ?1 AND date < ?2") +
                             kindCondition(kinds, 3) + " ORDER BY date " +
                             (newest ? "DESC" : "ASC") + " LIMIT 1");
    sqlite3_bind_double(statement.get(), 1, from);
    sqlite3_bind_double(statement.get(), 2, before);
    bindKinds(statement.get(), kinds, 3);
    int status = statement.step();
    if (status == SQLITE_ROW) return sqlite3_column_double(statement.get(), 0);
    if (status != SQLITE_DONE) fail("cannot read");
    return std::nullopt;
}

// The periods go into a scratch table and one aggregate joins the records to it by date
// range, which the index on `date` answers period by period.
std::vector<PeriodSums> SqliteStoreBackend::sumLiveInPeriods(
    const std::vector<PeriodRange>& periods, const std::vector<std::string>& kinds) {
    execute(
        "CREATE TEMPORARY TABLE IF NOT EXISTS StatisticsPeriod"
        " (idx INTEGER PRIMARY KEY, periodStart REAL NOT NULL, periodEnd REAL NOT NULL)");
    execute("DELETE FROM StatisticsPeriod");
    {
        auto insert = prepare(
            "INSERT INTO StatisticsPeriod (idx, periodStart, periodEnd) VALUES (?1, ?2, ?3)");
        for (std::size_t i = 0; i < periods.size(); ++i) {
            sqlite3_bind_int64(insert.get(), 1, static_cast<sqlite3_int64>(i));
            sqlite3_bind_double(insert.get(), 2, periods[i].start);
            sqlite3_bind_double(insert.get(), 3, periods[i].end);
            if (insert.step() != SQLITE_DONE) fail("cannot read");
            sqlite3_reset(insert.get());
        }
    }
    std::vector<PeriodSums> sums(periods.size());
    {
        auto sum = prepare(
            "SELECT p.idx, COUNT(*), SUM(r.distance),"
            " SUM(CASE WHEN r.activeTime = 0 THEN r.duration ELSE r.activeTime END),"
            " SUM(r.elevationGain)"
            " FROM StatisticsPeriod p JOIN PersistedRide r"
            " ON r.date >= p.periodStart AND r.date < p.periodEnd"
            " WHERE r.deletedAt IS NULL" +
            kindCondition(kinds, 1) + " GROUP BY p.idx");
        bindKinds(sum.get(), kinds, 1);
        int status;
        while ((status = sum.step()) == SQLITE_ROW) {
            auto index = sqlite3_column_int64(sum.get(), 0);
            if (index < 0 || static_cast<std::size_t>(index) >= sums.size()) continue;
            auto& target = sums[static_cast<std::size_t>(index)];
            target.count = sqlite3_column_int64(sum.get(), 1);
            target.distance = sqlite3_column_double(sum.get(), 2);
            target.movingTime = sqlite3_column_double(sum.get(), 3);
            target.elevationGain = sqlite3_column_double(sum.get(), 4);
        }
        if (status != SQLITE_DONE) fail("cannot read");
    }
    execute("DELETE FROM StatisticsPeriod");
    return sums;
}

// The summary columns sit in front of the series in each row, but the row's other text and the
// series' overflow pages still make a scan of the table read most of the file: a partial index
// holding just these columns, in the order asked for, answers `readLiveSummaries` on its own.
// Like the marks it is no schema change: programs that do not know it keep working, and a store
// this process cannot change just now (another writer holds the lock past the wait) opens
// without it; the summaries are then read from the table.
void SqliteStoreBackend::addSummaryIndex() {
    constexpr const char* kIndex = "PersistedRide_liveSummary";
    auto hasIndex = [this] {
        auto found =
            prepare("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = ?1");
        sqlite3_bind_text(found.get(), 1, kIndex, -1, SQLITE_STATIC);
        if (found.step() != SQLITE_ROW) fail("cannot read");
        return sqlite3_column_int64(found.get(), 0) > 0;
    };
    if (hasIndex()) return;
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return;
    // Another process may have added it while this one waited for the write lock.
    if (hasIndex() ||
        sqlite3_exec(m_db,
                     // deletedAt, always NULL here, is what lets the planner see that the
                     // index covers the query.
                     "CREATE INDEX PersistedRide_liveSummary ON PersistedRide(date, id, rideID, "
                     "duration, distance, elevationGain, activityType, seriesMark, deletedAt) "
                     "WHERE deletedAt IS NULL;"
                     // The marks' own index of earlier versions: the summaries cover it, and
                     // every save would keep it up to date for nothing.
                     "DROP INDEX IF EXISTS PersistedRide_liveSeriesMark",
                     nullptr, nullptr, nullptr) == SQLITE_OK) {
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return;
    }
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::vector<ActivitySummary> SqliteStoreBackend::readLiveSummaries() {
    auto statement = prepare(
        std::string("SELECT id, rideID, date, duration, distance, elevationGain, activityType, ") +
        (m_hasSeriesMarks ? "seriesMark" : "NULL") +
        " FROM PersistedRide WHERE deletedAt IS NULL ORDER BY date ASC, id ASC");
    sqlite3_stmt* row = statement.get();
    std::vector<ActivitySummary> summaries;
    int status;
    while ((status = statement.step()) == SQLITE_ROW) {
        ActivitySummary& summary = summaries.emplace_back();
        summary.objectID = sqlite3_column_int64(row, 0);
        readValue(row, 1, summary.rideID);
        summary.date = sqlite3_column_double(row, 2);
        summary.duration = sqlite3_column_double(row, 3);
        summary.distance = sqlite3_column_double(row, 4);
        summary.elevationGain = sqlite3_column_double(row, 5);
        readValue(row, 6, summary.activityType);
        if (sqlite3_column_type(row, 7) != SQLITE_NULL)
            summary.seriesMark = sqlite3_column_int64(row, 7);
    }
    if (status != SQLITE_DONE) fail("cannot read");
    return summaries;
}

}  // namespace vantrel
