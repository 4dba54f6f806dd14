#include "pgstore/PgStoreBackend.h"

#include <endian.h>

#include <cstdio>
#include <cstring>

#include "model/RideStore.h"
#include "model/StoreLocation.h"
#include "model/StoreStatements.h"
#include "pgstore/PgConnect.h"
#include "pgstore/PgListener.h"

namespace vantrel {

namespace {

constexpr Oid kBytea = 17;
constexpr Oid kInt8 = 20;
constexpr Oid kText = 25;
constexpr Oid kFloat8 = 701;

// The schema version sits in the comment of the record table, where no other program writes.
constexpr const char* kVersionComment = "Vantrel store, schema ";
// Serialises the creation of the tables by two computers opening an empty database at once.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7250117)";
// Serialises the transactions that add records, as SQLite's write lock does on a file.
constexpr const char* kInsertLock = "SELECT pg_advisory_xact_lock(7250118)";

const StoreStatements kStatements{kPostgresDialect};

std::string quoted(const char* name) {
    return kPostgresDialect.name(name);
}

std::string serverSchemaSQL() {
    std::string notify = std::string("PERFORM pg_notify('") + PgListener::kChannel + "', '');";
    std::string sql =
        kStatements.createTables() +
        "CREATE OR REPLACE FUNCTION vantrel_store_changed() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN " +
        notify + " RETURN NULL; END $$;\n";
    for (const char* table : {"PersistedRide", "RidePhoto"}) {
        sql += "CREATE TRIGGER " + quoted((std::string(table) + "_changed").c_str()) +
               " AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON " + quoted(table) +
               " FOR EACH STATEMENT EXECUTE FUNCTION vantrel_store_changed();\n";
    }
    return sql + "COMMENT ON TABLE \"PersistedRide\" IS '" + kVersionComment +
           std::to_string(kStoreSchemaVersion) + "';\n";
}

// Failures caused by the values written (constraints, bad data, a refusing trigger, a value
// beyond a limit), as opposed to the connection or the server, which no record escapes.
bool isRecordFault(const std::string& state) {
    return state.starts_with("22") || state.starts_with("23") || state.starts_with("P0") ||
           state.starts_with("54");
}

std::string bigEndian(std::uint64_t value) {
    value = htobe64(value);
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::uint64_t fromBigEndian(const char* data) {
    std::uint64_t value;
    std::memcpy(&value, data, sizeof value);
    return be64toh(value);
}

/// One parameter in binary form; the text and byte values point into the caller's values.
struct Parameter {
    Oid type = kText;
    std::string number;
    const char* data = nullptr;
    int length = 0;
};

Parameter encode(const StoreValue& value) {
    static const char empty = 0;
    Parameter parameter;
    if (!value) return parameter;
    if (auto real = std::get_if<double>(&*value)) {
        std::uint64_t bits;
        std::memcpy(&bits, real, sizeof bits);
        parameter = {kFloat8, bigEndian(bits), nullptr, 8};
    } else if (auto integer = std::get_if<std::int64_t>(&*value)) {
        parameter = {kInt8, bigEndian(static_cast<std::uint64_t>(*integer)), nullptr, 8};
    } else if (auto text = std::get_if<std::string>(&*value)) {
        parameter = {kText, {}, text->data(), static_cast<int>(text->size())};
    } else if (auto bytes = std::get_if<Bytes>(&*value)) {
        // A null pointer would mean NULL: present-but-empty must stay distinguishable.
        const char* data = bytes->empty() ? &empty : reinterpret_cast<const char*>(bytes->data());
        parameter = {kBytea, {}, data, static_cast<int>(bytes->size())};
    }
    return parameter;
}

StoreValue decode(const PGresult* result, int row, int field) {
    if (PQgetisnull(result, row, field)) return std::nullopt;
    const char* data = PQgetvalue(result, row, field);
    auto length = static_cast<std::size_t>(PQgetlength(result, row, field));
    switch (PQftype(result, field)) {
        case kFloat8: {
            std::uint64_t bits = fromBigEndian(data);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case kInt8:
            return static_cast<std::int64_t>(fromBigEndian(data));
        case kBytea:
            return Bytes(data, data + length);
        default:
            return std::string(data, length);
    }
}

template <typename Record>
void readColumns(const PGresult* result, int row, std::span<const StoreColumn<Record>> columns,
                 bool withDetails, Record& record) {
    int field = 1;
    for (const auto& column : columns) {
        if (withDetails || !column.detail)
            setColumnValue(column, record, decode(result, row, field++));
    }
}

template <typename Record>
std::vector<StoreValue> valuesOf(const Record& record,
                                 std::span<const StoreColumn<Record>> columns) {
    std::vector<StoreValue> values;
    values.reserve(columns.size() + 1);
    for (const auto& column : columns) values.push_back(columnValue(column, record));
    return values;
}

}  // namespace

struct PgStoreBackend::Result {
    PGresult* result = nullptr;
    explicit Result(PGresult* r) : result(r) {}
    Result(Result&& other) noexcept : result(other.result) { other.result = nullptr; }
    Result& operator=(Result&&) = delete;
    ~Result() { PQclear(result); }
    int rows() const { return PQntuples(result); }
    std::int64_t integer(int row, int field) const {
        auto value = decode(result, row, field);
        return value ? std::get<std::int64_t>(*value) : 0;
    }
};

PgStoreBackend::PgStoreBackend(std::string url)
    : m_url(std::move(url)), m_display(displayLocation(m_url)) {}

PgStoreBackend::~PgStoreBackend() {
    m_listener.reset();
    if (m_connection) PQfinish(m_connection);
}

std::unique_ptr<PgStoreBackend> PgStoreBackend::open(const std::string& url) {
    std::unique_ptr<PgStoreBackend> backend(new PgStoreBackend(url));
    backend->connect();
    backend->checkSchema();
    return backend;
}

void PgStoreBackend::fail(const std::string& what, const std::string& reason) const {
    throw StoreError("Store " + m_display + ": " + what + " (" + reason + ")");
}

void PgStoreBackend::connect() {
    if (m_connection) PQfinish(m_connection);
    m_prepared.clear();
    m_inTransaction = false;
    m_connection = connectToServer(m_url);
    if (PQstatus(m_connection) != CONNECTION_OK) {
        std::string reason = connectionError(m_connection);
        PQfinish(m_connection);
        m_connection = nullptr;
        fail("cannot open", reason);
    }
    m_serverProcess = PQbackendPID(m_connection);
}

void PgStoreBackend::ensureConnected() {
    if (!m_connection || PQstatus(m_connection) != CONNECTION_OK) connect();
}

PgStoreBackend::Result PgStoreBackend::run(const std::string& sql,
                                           const std::vector<StoreValue>& parameters,
                                           const char* what) {
    if (!m_inTransaction) ensureConnected();
    std::vector<Parameter> encoded;
    encoded.reserve(parameters.size());
    for (const auto& value : parameters) encoded.push_back(encode(value));
    std::vector<const char*> values;
    std::vector<int> lengths, formats(parameters.size(), 1);
    for (const auto& parameter : encoded) {
        values.push_back(parameter.number.empty() ? parameter.data : parameter.number.data());
        lengths.push_back(parameter.length);
    }
    auto& name = m_prepared[sql];
    if (name.empty()) {
        // The server takes each parameter's type from where it stands (a NULL has none).
        std::string candidate = "s" + std::to_string(m_prepared.size());
        Result prepared(PQprepare(m_connection, candidate.c_str(), sql.c_str(), 0, nullptr));
        if (PQresultStatus(prepared.result) != PGRES_COMMAND_OK) {
            m_prepared.erase(sql);
            const char* state = PQresultErrorField(prepared.result, PG_DIAG_SQLSTATE);
            m_lastState = state ? state : "";
            fail(what, connectionError(m_connection));
        }
        name = candidate;
    }
    Result result(PQexecPrepared(m_connection, name.c_str(), static_cast<int>(values.size()),
                                 values.data(), lengths.data(), formats.data(), 1));
    auto status = PQresultStatus(result.result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const char* state = PQresultErrorField(result.result, PG_DIAG_SQLSTATE);
        const char* primary = PQresultErrorField(result.result, PG_DIAG_MESSAGE_PRIMARY);
        m_lastState = state ? state : "";
        fail(what, primary ? primary : connectionError(m_connection));
    }
    return result;
}

void PgStoreBackend::command(const std::string& sql, const char* what) {
    if (!m_inTransaction) ensureConnected();
    Result result(PQexec(m_connection, sql.c_str()));
    if (PQresultStatus(result.result) != PGRES_COMMAND_OK &&
        PQresultStatus(result.result) != PGRES_TUPLES_OK) {
        const char* state = PQresultErrorField(result.result, PG_DIAG_SQLSTATE);
        const char* primary = PQresultErrorField(result.result, PG_DIAG_MESSAGE_PRIMARY);
        m_lastState = state ? state : "";
        fail(what, primary ? primary : connectionError(m_connection));
    }
}

// The version and the tables are read in one snapshot, and the tables are made under a lock
// with the version read again: another computer may be creating them at this very moment.
// Whether the table exists is read from the catalog's rows, not by resolving its name: a name
// resolves to tables committed after the snapshot was taken, and a table seen without the
// version its creator committed with it looked like a store of another program.
void PgStoreBackend::checkSchema() {
    const std::string read =
        "SELECT coalesce(obj_description(to_regclass('\"PersistedRide\"'), 'pg_class'), ''),"
        " EXISTS (SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"
        " AND tablename = 'PersistedRide'),"
        " (SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema())";
    auto version = [&](bool& foreign) -> std::int64_t {
        Result result(
            PQexecParams(m_connection, read.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
        if (PQresultStatus(result.result) != PGRES_TUPLES_OK)
            fail("cannot read", connectionError(m_connection));
        std::string comment = PQgetvalue(result.result, 0, 0);
        bool hasTable = PQgetvalue(result.result, 0, 1)[0] == 't';
        std::int64_t tables = std::stoll(PQgetvalue(result.result, 0, 2));
        std::int64_t found = 0;
        if (comment.starts_with(kVersionComment))
            found = std::atoll(comment.c_str() + std::strlen(kVersionComment));
        foreign = found == 0 && (hasTable || tables > 0);
        return found;
    };
    bool foreign = false;
    inTransaction([&] {
        command("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ", "cannot read");
        std::int64_t found = version(foreign);
        if (found > kStoreSchemaVersion)
            throw StoreError("Store " + m_display + ": written by a newer version (schema " +
                             std::to_string(found) + ")");
        if (foreign)
            throw StoreError("Store " + m_display + ": not a Vantrel store (unknown tables)");
    });
    inTransaction([&] {
        command(kSchemaLock);
        std::int64_t found = version(foreign);
        if (found == 0 && !foreign) command(serverSchemaSQL());
        if (found > 0 && found < kStoreSchemaVersion) upgradeSchema();
        addSeriesMarks();
    });
}

// Runs under the schema lock, after the version was read again: another computer may have
// upgraded the store while this one waited.
void PgStoreBackend::upgradeSchema() {
    m_renamedTwins.clear();
    // Programs of the older version may still be adding records; a twin arriving between the
    // renaming and the unique index would fail the upgrade.
    command("LOCK TABLE \"PersistedRide\" IN SHARE ROW EXCLUSIVE MODE");
    makeRideIDsUnique();
    command("COMMENT ON TABLE \"PersistedRide\" IS '" + std::string(kVersionComment) +
            std::to_string(kStoreSchemaVersion) + "'");
}

// Twins are kept, not merged: the later one may hold edits of its own.
void PgStoreBackend::makeRideIDsUnique() {
    auto twins = run(twinRowsSQL(), {}, "cannot read");
    std::vector<TwinRow> rows;
    for (int row = 0; row < twins.rows(); ++row) {
        auto rideID = decode(twins.result, row, 1);
        auto* text = rideID ? std::get_if<std::string>(&*rideID) : nullptr;
        auto date = decode(twins.result, row, 2);
        auto* real = date ? std::get_if<double>(&*date) : nullptr;
        rows.push_back({twins.integer(row, 0), text ? *text : "", real ? *real : 0.0});
    }
    auto renamed = renameLaterTwins(rows);
    for (const auto& twin : renamed) {
        run(kStatements.renameRideID(), {twin.newRideID.toString(), twin.objectID}, "cannot write");
    }
    command(uniqueRideIDSQL());
    m_renamedTwins = std::move(renamed);
}

void PgStoreBackend::visitRows(Result& result, bool withDetails, const RowVisitor& visit) {
    for (int row = 0; row < result.rows(); ++row) {
        RowReader read = [&, row](PersistedRide& ride) {
            readColumns<PersistedRide>(result.result, row, rideColumns(), withDetails, ride);
        };
        visit(result.integer(row, 0), read);
    }
}

namespace {

// Rows with their series are large: fewer of them per batch.
int rowsPerBatch(bool withDetails) {
    return withDetails ? 50 : 2000;
}

}  // namespace

// One result holding a whole history (every row's columns at once) would not fit in memory; a
// cursor hands the rows over a batch at a time, and between batches the visitor may use the
// connection for reads of its own.
void PgStoreBackend::fetchInBatches(const std::string& sql,
                                    const std::vector<StoreValue>& parameters, bool withDetails,
                                    const RowVisitor& visit) {
    if (m_inTransaction) return visitCursor(sql, parameters, withDetails, visit);
    // A cursor lives in a transaction; this one only reads.
    command("BEGIN", "cannot read");
    m_inTransaction = true;
    try {
        visitCursor(sql, parameters, withDetails, visit);
        command("COMMIT", "cannot read");
        m_inTransaction = false;
    } catch (...) {
        m_inTransaction = false;
        if (PQstatus(m_connection) == CONNECTION_OK) PQclear(PQexec(m_connection, "ROLLBACK"));
        throw;
    }
}

void PgStoreBackend::visitCursor(const std::string& sql, const std::vector<StoreValue>& parameters,
                                 bool withDetails, const RowVisitor& visit) {
    const int batchRows = rowsPerBatch(withDetails);
    std::string cursor = "vantrel_rows" + std::to_string(++m_openCursors);
    try {
        run("DECLARE " + cursor + " NO SCROLL CURSOR FOR " + sql, parameters, "cannot read");
        const std::string fetch = "FETCH FORWARD " + std::to_string(batchRows) + " FROM " + cursor;
        for (;;) {
            auto batch = run(fetch, {}, "cannot read");
            visitRows(batch, withDetails, visit);
            if (batch.rows() < batchRows) break;
        }
        command("CLOSE " + cursor, "cannot read");
    } catch (...) {
        --m_openCursors;
        // Inside a longer transaction that goes on, the name must be free for the next read.
        if (PQstatus(m_connection) == CONNECTION_OK)
            PQclear(PQexec(m_connection, ("CLOSE " + cursor).c_str()));
        throw;
    }
    --m_openCursors;
}

void PgStoreBackend::fetchRows(const RideQuery& query, bool applyLimit, const RowVisitor& visit) {
    std::vector<StoreValue> parameters;
    auto sql = kStatements.selectRides(query, applyLimit, parameters);
    // A result that cannot outgrow a batch is read at once, without the cursor's round trips.
    if (applyLimit && query.limit && *query.limit <= rowsPerBatch(query.withDetails)) {
        auto result = run(sql, parameters, "cannot read");
        return visitRows(result, query.withDetails, visit);
    }
    fetchInBatches(sql, parameters, query.withDetails, visit);
}

void PgStoreBackend::fetchLiveByRideID(const Uuid& rideID, const RowVisitor& visit) {
    auto result = run(kStatements.selectLiveByRideID(), {rideID.toString()}, "cannot read");
    visitRows(result, true, visit);
}

std::optional<std::int64_t> PgStoreBackend::rowIDOfRideID(const Uuid& rideID) {
    auto result = run(kStatements.selectRowIDOfRideID(), {rideID.toString()}, "cannot read");
    if (result.rows() == 0) return std::nullopt;
    return result.integer(0, 0);
}

std::int64_t PgStoreBackend::countRows(const RideQuery& query) {
    std::vector<StoreValue> parameters;
    auto sql = kStatements.countRides(query, parameters);
    auto result = run(sql, parameters, "cannot read");
    return result.integer(0, 0);
}

bool PgStoreBackend::readRow(std::int64_t objectID, bool withDetails, PersistedRide& target) {
    auto result = run(kStatements.selectRide(withDetails), {objectID}, "cannot read");
    if (result.rows() == 0) return false;
    readColumns<PersistedRide>(result.result, 0, rideColumns(), withDetails, target);
    return true;
}

void PgStoreBackend::readDetails(std::int64_t objectID, PersistedRide& target) {
    auto result = run(kStatements.selectDetails(), {objectID}, "cannot read");
    if (result.rows() == 0) return;
    int field = 1;
    for (const auto& column : rideColumns()) {
        if (column.detail) setColumnValue(column, target, decode(result.result, 0, field++));
    }
}

std::optional<Bytes> PgStoreBackend::readRouteData(std::int64_t objectID) {
    auto result = run(kStatements.selectRouteData(), {objectID}, "cannot read");
    if (result.rows() == 0) return std::nullopt;
    auto value = decode(result.result, 0, 0);
    if (!value) return std::nullopt;
    if (auto bytes = std::get_if<Bytes>(&*value)) return std::move(*bytes);
    return std::nullopt;
}

StoredSeries PgStoreBackend::readSeries(std::int64_t objectID) {
    auto result = run(kStatements.selectSeries(m_hasSeriesMarks), {objectID}, "cannot read");
    StoredSeries series;
    if (result.rows() == 0) return series;
    auto bytesAt = [&](int field) -> std::optional<Bytes> {
        auto value = decode(result.result, 0, field);
        auto* bytes = value ? std::get_if<Bytes>(&*value) : nullptr;
        return bytes ? std::optional<Bytes>(std::move(*bytes)) : std::nullopt;
    };
    series.route = bytesAt(0);
    series.power = bytesAt(1);
    if (!PQgetisnull(result.result, 0, 2)) series.mark = result.integer(0, 2);
    return series;
}

std::vector<ActivitySummary> PgStoreBackend::readLiveSummaries() {
    auto result = run(std::string("SELECT id, \"rideID\", date, duration, distance, "
                                  "\"elevationGain\", \"activityType\", ") +
                          (m_hasSeriesMarks ? "\"seriesMark\"" : "NULL::bigint") +
                          " FROM \"PersistedRide\" WHERE \"deletedAt\" IS NULL ORDER BY date "
                          "ASC, id ASC",
                      {}, "cannot read");
    auto real = [&](int row, int field) {
        auto value = decode(result.result, row, field);
        auto* number = value ? std::get_if<double>(&*value) : nullptr;
        return number ? *number : 0.0;
    };
    auto text = [&](int row, int field) -> std::optional<std::string> {
        auto value = decode(result.result, row, field);
        auto* string = value ? std::get_if<std::string>(&*value) : nullptr;
        return string ? std::optional<std::string>(std::move(*string)) : std::nullopt;
    };
    std::vector<ActivitySummary> summaries(static_cast<std::size_t>(result.rows()));
    for (int row = 0; row < result.rows(); ++row) {
        auto& summary = summaries[static_cast<std::size_t>(row)];
        summary.objectID = result.integer(row, 0);
        summary.rideID = Uuid::parse(text(row, 1).value_or("")).value_or(Uuid{});
        summary.date = real(row, 2);
        summary.duration = real(row, 3);
        summary.distance = real(row, 4);
        summary.elevationGain = real(row, 5);
        summary.activityType = text(row, 6);
        if (!PQgetisnull(result.result, row, 7)) summary.seriesMark = result.integer(row, 7);
    }
    return summaries;
}

// A column beside the record's fields rather than a schema version: programs that do not know
// it keep working on the store, and the trigger marks what they write too. Marks are random,
// so that a cache never mistakes one row's series for another state of it. Runs under the
// schema lock.
void PgStoreBackend::addSeriesMarks() {
    auto found =
        run("SELECT count(*) FROM pg_attribute WHERE attrelid = '\"PersistedRide\"'::regclass AND "
            "attname = 'seriesMark' AND NOT attisdropped",
            {}, "cannot read");
    if (found.integer(0, 0) > 0) {
        m_hasSeriesMarks = true;
        return;
    }
    // A role that may change the records but not the tables (a shared server's other users)
    // still opens the store; its caches then compare the series themselves.
    command("SAVEPOINT series_marks");
    try {
        addSeriesMarksOnce();
        command("RELEASE SAVEPOINT series_marks");
        m_hasSeriesMarks = true;
    } catch (const StoreError&) {
        command("ROLLBACK TO SAVEPOINT series_marks");
        m_hasSeriesMarks = false;
    }
}

void PgStoreBackend::addSeriesMarksOnce() {
    command(
        "ALTER TABLE \"PersistedRide\" ADD COLUMN \"seriesMark\" bigint;\n"
        "UPDATE \"PersistedRide\" SET \"seriesMark\" = floor(random() * 9e18)::bigint;\n"
        "CREATE OR REPLACE FUNCTION vantrel_series_mark() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN NEW.\"seriesMark\" := floor(random() * 9e18)::bigint; RETURN NEW; END $$;\n"
        "CREATE TRIGGER \"PersistedRide_seriesMark\" BEFORE INSERT OR UPDATE OF \"routeData\", "
        "\"powerData\" ON \"PersistedRide\" FOR EACH ROW EXECUTE FUNCTION "
        "vantrel_series_mark();\n");
}

std::vector<RidePhoto> PgStoreBackend::readPhotos(std::int64_t rideObjectID) {
    auto result = run(kStatements.selectPhotos(), {rideObjectID}, "cannot read");
    std::vector<RidePhoto> photos(static_cast<std::size_t>(result.rows()));
    for (int row = 0; row < result.rows(); ++row) {
        auto& photo = photos[static_cast<std::size_t>(row)];
        photo.objectID = result.integer(row, 0);
        readColumns<RidePhoto>(result.result, row, photoColumns(), true, photo);
    }
    return photos;
}

void PgStoreBackend::inTransaction(const std::function<void()>& write) {
    m_commitUnknown = false;
    command("BEGIN");
    m_inTransaction = true;
    bool committing = false;
    try {
        write();
        committing = true;
        command("COMMIT");
        m_inTransaction = false;
    } catch (const StoreError&) {
        m_inTransaction = false;
        // A connection that broke while the commit was on its way may have broken after the
        // server committed: only the lost answer would have told.
        bool connected = PQstatus(m_connection) == CONNECTION_OK;
        m_commitUnknown = committing && !connected;
        if (connected) PQclear(PQexec(m_connection, "ROLLBACK"));
        throw;
    }
}

void PgStoreBackend::lockForInserts() {
    command(kInsertLock);
}

std::optional<std::string> PgStoreBackend::tryAlone(const std::function<void()>& write) {
    return tryInSavepoint(
        [this](const std::string& sql) { command(sql); },
        [this] { return isRecordFault(m_lastState) && PQstatus(m_connection) == CONNECTION_OK; },
        write);
}

std::int64_t PgStoreBackend::insertRide(const PersistedRide& ride) {
    auto result =
        run(kStatements.insertRide(), valuesOf<PersistedRide>(ride, rideColumns()), "cannot write");
    return result.integer(0, 0);
}

void PgStoreBackend::updateRide(const PersistedRide& ride, std::span<const std::size_t> columns) {
    std::vector<StoreValue> values;
    for (auto index : columns) values.push_back(columnValue(rideColumns()[index], ride));
    values.emplace_back(ride.objectID);
    run(kStatements.updateRide(columns), values, "cannot write");
}

void PgStoreBackend::deleteRide(std::int64_t objectID) {
    run(kStatements.deleteRide(), {objectID}, "cannot write");
}

void PgStoreBackend::deleteRides(std::span<const std::int64_t> objectIDs) {
    if (objectIDs.empty()) return;
    // The identifiers go as one text parameter: one statement whatever their number.
    std::string list;
    for (std::int64_t objectID : objectIDs)
        list += (list.empty() ? "" : ",") + std::to_string(objectID);
    run("DELETE FROM \"PersistedRide\" WHERE id = ANY(string_to_array($1, ',')::bigint[])", {list},
        "cannot write");
}

std::int64_t PgStoreBackend::insertPhoto(const RidePhoto& photo, std::int64_t rideObjectID) {
    auto parameters = valuesOf<RidePhoto>(photo, photoColumns());
    parameters.emplace_back(rideObjectID);
    auto result = run(kStatements.insertPhoto(), parameters, "cannot write");
    return result.integer(0, 0);
}

void PgStoreBackend::updatePhoto(const RidePhoto& photo) {
    auto parameters = valuesOf<RidePhoto>(photo, photoColumns());
    parameters.emplace_back(photo.objectID);
    run(kStatements.updatePhoto(), parameters, "cannot write");
}

void PgStoreBackend::deletePhoto(std::int64_t objectID) {
    run(kStatements.deletePhoto(), {objectID}, "cannot write");
}

// One scan that sorts each record into its period (width_bucket over the sorted boundaries)
// instead of a query per period: on a server every query is a round trip.
std::optional<std::vector<std::int64_t>> PgStoreBackend::countLiveInPeriods(
    const std::vector<Date>& boundaries) {
    if (boundaries.size() < 2) return std::vector<std::int64_t>{};
    std::string array = "{";
    char number[32];
    for (Date boundary : boundaries) {
        std::snprintf(number, sizeof number, "%.17g", boundary);
        array += (array.size() > 1 ? "," : "") + std::string(number);
    }
    array += "}";
    // The boundaries are parsed once, not once per row.
    auto result =
        run("WITH periods AS MATERIALIZED (SELECT $1::text::float8[] AS bounds)"
            " SELECT width_bucket(date, bounds)::bigint, count(*) FROM \"PersistedRide\", periods"
            " WHERE \"deletedAt\" IS NULL AND date >= $2 AND date < $3 GROUP BY 1",
            {array, boundaries.front(), boundaries.back()}, "cannot read");
    std::vector<std::int64_t> counts(boundaries.size() - 1, 0);
    for (int row = 0; row < result.rows(); ++row) {
        auto bucket = result.integer(row, 0);
        if (bucket >= 1 && bucket <= static_cast<std::int64_t>(counts.size()))
            counts[static_cast<std::size_t>(bucket - 1)] = result.integer(row, 1);
    }
    return counts;
}

namespace {

// An array literal the server parses once per statement (`$n::text::float8[]`).
std::string numberArray(const std::vector<Date>& numbers) {
    std::string array = "{";
    char number[32];
    for (Date value : numbers) {
        std::snprintf(number, sizeof number, "%.17g", value);
        array += (array.size() > 1 ? "," : "") + std::string(number);
    }
    return array + "}";
}

// Kinds are raw values (plain identifiers), so they need no quoting inside the array literal.
std::string textArray(const std::vector<std::string>& texts) {
    std::string array = "{";
    for (const auto& text : texts) array += (array.size() > 1 ? "," : "") + ("\"" + text + "\"");
    return array + "}";
}

double realOf(const StoreValue& value) {
    if (!value) return 0;
    if (auto real = std::get_if<double>(&*value)) return *real;
    if (auto integer = std::get_if<std::int64_t>(&*value)) return static_cast<double>(*integer);
    return 0;
}

}  // namespace

std::optional<Date> PgStoreBackend::edgeLiveDate(Date from, Date before,
                                                 const std::vector<std::string>& kinds,
                                                 bool newest) {
    std::string sql =
        "SELECT date FROM \"PersistedRide\" WHERE \"deletedAt\" IS NULL AND date >= $1"
        " AND date < $2";
    std::vector<StoreValue> parameters{from, before};
    if (!kinds.empty()) {
        sql += " AND \"activityType\" = ANY($3::text::text[])";
        parameters.emplace_back(textArray(kinds));
    }
    sql += std::string(" ORDER BY date ") + (newest ? "DESC" : "ASC") + " LIMIT 1";
    auto result = run(sql, parameters, "cannot read");
    if (result.rows() == 0) return std::nullopt;
    return realOf(decode(result.result, 0, 0));
}

// The periods travel as two arrays and are joined to the records by date range in one query:
// on a server every query is a round trip.
std::vector<PeriodSums> PgStoreBackend::sumLiveInPeriods(const std::vector<PeriodRange>& periods,
                                                         const std::vector<std::string>& kinds) {
    std::vector<PeriodSums> sums(periods.size());
    if (periods.empty()) return sums;
    std::vector<Date> starts, ends;
    for (const auto& period : periods) {
        starts.push_back(period.start);
        ends.push_back(period.end);
    }
    std::string sql =
        "SELECT p.idx - 1, count(*), sum(r.distance),"
        " sum(CASE WHEN r.\"activeTime\" = 0 THEN r.duration ELSE r.\"activeTime\" END),"
        " sum(r.\"elevationGain\")"
        " FROM unnest($1::text::float8[], $2::text::float8[]) WITH ORDINALITY AS p(ps, pe, idx)"
        " JOIN \"PersistedRide\" r ON r.date >= p.ps AND r.date < p.pe"
        " WHERE r.\"deletedAt\" IS NULL";
    std::vector<StoreValue> parameters{numberArray(starts), numberArray(ends)};
    if (!kinds.empty()) {
        sql += " AND r.\"activityType\" = ANY($3::text::text[])";
        parameters.emplace_back(textArray(kinds));
    }
    auto result = run(sql + " GROUP BY p.idx", parameters, "cannot read");
    for (int row = 0; row < result.rows(); ++row) {
        auto index = result.integer(row, 0);
        if (index < 0 || index >= static_cast<std::int64_t>(sums.size())) continue;
        auto& target = sums[static_cast<std::size_t>(index)];
        target.count = result.integer(row, 1);
        target.distance = realOf(decode(result.result, row, 2));
        target.movingTime = realOf(decode(result.result, row, 3));
        target.elevationGain = realOf(decode(result.result, row, 4));
    }
    return sums;
}

std::int64_t PgStoreBackend::dataVersion() {
    if (!m_listener) m_listener = std::make_unique<PgListener>(m_url, m_serverProcess);
    return m_listener->version();
}

}  // namespace vantrel

// The module's one entry point, looked up by name when a store location names a server.
extern "C" __attribute__((visibility("default"))) vantrel::StoreBackend* vantrelOpenServerStore(
    const char* url) {
    return vantrel::PgStoreBackend::open(url).release();
}
