#include "model/StoreStatements.h"

#include <algorithm>

namespace vantrel {

namespace {

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

// Plain numbers default to 0 (a record created with nothing set); identifiers and dates have
// no default a record could mean.
template <typename Record>
std::string declaration(const SqlDialect& dialect, const RecordField<Record>& field) {
    std::string text = dialect.typeOf(field.kind);
    if (field.optional()) return text;
    bool zeroDefault = field.kind == FieldKind::number || field.kind == FieldKind::integer;
    return text + (zeroDefault ? " NOT NULL DEFAULT 0" : " NOT NULL");
}

}  // namespace

template <typename Record>
std::string StoreStatements::tableSQL(const char* table,
                                      std::span<const StoreColumn<Record>> columns,
                                      const std::string& trailer) const {
    std::string sql = "CREATE TABLE " + name(table) + " (" + m_dialect.idDeclaration;
    for (const auto& column : columns)
        sql += ", " + name(column.name) + " " + declaration(m_dialect, column);
    return sql + trailer + ");\n";
}

std::string StoreStatements::createTables() const {
    return tableSQL("PersistedRide", rideColumns(), "") +
           tableSQL("RidePhoto", photoColumns(),
                    ", " + name("ride") + " " + m_dialect.integerType + " REFERENCES " +
                        rideTable() + "(id) ON DELETE CASCADE") +
           "CREATE INDEX " + name("PersistedRide_liveDate") + " ON " + rideTable() +
           "(date) WHERE " + name("deletedAt") + " IS NULL;\n" + "CREATE INDEX " +
           name("PersistedRide_date") + " ON " + rideTable() + "(date);\n" +
           "CREATE UNIQUE INDEX " + name("PersistedRide_rideID") + " ON " + rideTable() + "(" +
           name("rideID") + ");\n" + "CREATE INDEX " + name("RidePhoto_ride") + " ON " +
           photoTable() + "(ride);\n";
}

std::string StoreStatements::rideSelectList(bool withDetails) const {
    std::string sql = "id";
    for (const auto& column : rideColumns()) {
        if (withDetails || !column.detail) sql += ", " + name(column.name);
    }
    return sql;
}

std::string StoreStatements::whereClause(const RideQuery& query,
                                         std::vector<StoreValue>& parameters) const {
    std::vector<std::string> terms;
    if (query.liveOnly) terms.push_back(name("deletedAt") + " IS NULL");
    if (query.cityMissingOnly) terms.emplace_back("city IS NULL");
    if (query.withRouteOnly) terms.push_back(name("routeData") + " IS NOT NULL");
    auto compare = [&](const char* term, StoreValue value) {
        parameters.push_back(std::move(value));
        terms.push_back(term + m_dialect.parameter(parameters.size()));
    };
    if (query.objectIDAfter) compare("id > ", *query.objectIDAfter);
    if (query.dateFrom) compare("date >= ", *query.dateFrom);
    if (query.dateBefore) compare("date < ", *query.dateBefore);
    std::string sql;
    for (const auto& term : terms) sql += (sql.empty() ? " WHERE " : " AND ") + term;
    return sql;
}

std::string StoreStatements::selectRides(const RideQuery& query, bool applyLimit,
                                         std::vector<StoreValue>& parameters) const {
    std::string sql = "SELECT " + rideSelectList(query.withDetails) + " FROM " + rideTable() +
                      whereClause(query, parameters) + orderClause(query.order);
    if (applyLimit && query.limit)
        sql += " LIMIT " + std::to_string(std::max<std::int64_t>(0, *query.limit));
    return sql;
}

std::string StoreStatements::countRides(const RideQuery& query,
                                        std::vector<StoreValue>& parameters) const {
    return "SELECT count(*) FROM " + rideTable() + whereClause(query, parameters);
}

std::string StoreStatements::selectLiveByRideID() const {
    return "SELECT " + rideSelectList(true) + " FROM " + rideTable() + " WHERE " + name("rideID") +
           " = " + m_dialect.parameter(1) + " AND " + name("deletedAt") + " IS NULL ORDER BY id";
}

std::string StoreStatements::selectRowIDOfRideID() const {
    return "SELECT id FROM " + rideTable() + " WHERE " + name("rideID") + " = " +
           m_dialect.parameter(1);
}

std::string StoreStatements::selectRide(bool withDetails) const {
    return "SELECT " + rideSelectList(withDetails) + " FROM " + rideTable() +
           " WHERE id = " + m_dialect.parameter(1);
}

std::string StoreStatements::selectDetails() const {
    std::string sql = "SELECT id";
    for (const auto& column : rideColumns()) {
        if (column.detail) sql += ", " + name(column.name);
    }
    return sql + " FROM " + rideTable() + " WHERE id = " + m_dialect.parameter(1);
}

std::string StoreStatements::selectRouteData() const {
    return "SELECT " + name("routeData") + " FROM " + rideTable() +
           " WHERE id = " + m_dialect.parameter(1);
}

std::string StoreStatements::selectSeries(bool withMarks) const {
    return "SELECT " + name("routeData") + ", " + name("powerData") + ", " +
           (withMarks ? name("seriesMark") : "NULL") + " FROM " + rideTable() +
           " WHERE id = " + m_dialect.parameter(1);
}

std::string StoreStatements::selectPhotos() const {
    std::string sql = "SELECT id";
    for (const auto& column : photoColumns()) sql += ", " + name(column.name);
    return sql + " FROM " + photoTable() + " WHERE ride = " + m_dialect.parameter(1) +
           " ORDER BY id";
}

template <typename Record>
std::string StoreStatements::insertSQL(const char* table,
                                       std::span<const StoreColumn<Record>> columns,
                                       const char* extraColumn) const {
    std::string names, values;
    std::size_t number = 0;
    for (const auto& column : columns) {
        const char* separator = number ? ", " : "";
        names += separator + name(column.name);
        values += separator + m_dialect.parameter(++number);
    }
    if (extraColumn) {
        names += ", " + name(extraColumn);
        values += ", " + m_dialect.parameter(++number);
    }
    return "INSERT INTO " + name(table) + " (" + names + ") VALUES (" + values + ")" +
           m_dialect.returningID;
}

template <typename Record>
std::string StoreStatements::updateSQL(const char* table,
                                       std::span<const StoreColumn<Record>> columns,
                                       std::span<const std::size_t> indexes) const {
    std::string sql = "UPDATE " + name(table) + " SET ";
    for (std::size_t i = 0; i < indexes.size(); ++i)
        sql +=
            (i ? ", " : "") + name(columns[indexes[i]].name) + " = " + m_dialect.parameter(i + 1);
    return sql + " WHERE id = " + m_dialect.parameter(indexes.size() + 1);
}

std::string StoreStatements::insertRide() const {
    return insertSQL("PersistedRide", rideColumns(), nullptr);
}

std::string StoreStatements::updateRide(std::span<const std::size_t> columns) const {
    return updateSQL("PersistedRide", rideColumns(), columns);
}

std::string StoreStatements::deleteRide() const {
    return "DELETE FROM " + rideTable() + " WHERE id = " + m_dialect.parameter(1);
}

std::string StoreStatements::renameRideID() const {
    return "UPDATE " + rideTable() + " SET " + name("rideID") + " = " + m_dialect.parameter(1) +
           " WHERE id = " + m_dialect.parameter(2);
}

std::string StoreStatements::insertPhoto() const {
    return insertSQL("RidePhoto", photoColumns(), "ride");
}

std::string StoreStatements::updatePhoto() const {
    std::vector<std::size_t> every(photoColumns().size());
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = i;
    return updateSQL("RidePhoto", photoColumns(), std::span<const std::size_t>(every));
}

std::string StoreStatements::deletePhoto() const {
    return "DELETE FROM " + photoTable() + " WHERE id = " + m_dialect.parameter(1);
}

// Savepoints read the same in both databases.
std::optional<std::string> tryInSavepoint(const std::function<void(const std::string&)>& execute,
                                          const std::function<bool()>& isRecordFault,
                                          const std::function<void()>& write) {
    execute("SAVEPOINT one_record");
    try {
        write();
    } catch (const StoreError& error) {
        if (!isRecordFault()) throw;
        execute("ROLLBACK TO SAVEPOINT one_record");
        execute("RELEASE SAVEPOINT one_record");
        return std::string(error.what());
    }
    execute("RELEASE SAVEPOINT one_record");
    return std::nullopt;
}

}  // namespace vantrel
