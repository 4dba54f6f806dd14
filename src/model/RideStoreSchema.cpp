#include "model/RideStoreSchema.h"

#include <array>

#include "model/SqliteStatement.h"

namespace vantrel {

namespace {

StoreValue toStoreValue(double value) {
    return value;
}
StoreValue toStoreValue(std::int64_t value) {
    return value;
}
StoreValue toStoreValue(const Uuid& value) {
    return value.toString();
}
StoreValue toStoreValue(const std::string& value) {
    return value;
}
StoreValue toStoreValue(const Bytes& value) {
    return value;
}
template <typename T>
StoreValue toStoreValue(const std::optional<T>& value) {
    return value ? toStoreValue(*value) : std::nullopt;
}

// Absent or mistyped values read as SQLite reads them: 0 for numbers, the nil identifier.
template <typename T>
const T* alternative(const StoreValue& value) {
    return value ? std::get_if<T>(&*value) : nullptr;
}
void fromStoreValue(StoreValue&& value, double& target) {
    auto found = alternative<double>(value);
    target = found ? *found : 0.0;
}
void fromStoreValue(StoreValue&& value, std::int64_t& target) {
    auto found = alternative<std::int64_t>(value);
    target = found ? *found : 0;
}
void fromStoreValue(StoreValue&& value, std::optional<double>& target) {
    auto found = alternative<double>(value);
    target = found ? std::optional<double>(*found) : std::nullopt;
}
void fromStoreValue(StoreValue&& value, Uuid& target) {
    auto found = alternative<std::string>(value);
    target = found ? Uuid::parse(*found).value_or(Uuid{}) : Uuid{};
}
void fromStoreValue(StoreValue&& value, std::optional<Uuid>& target) {
    auto found = alternative<std::string>(value);
    target = found ? Uuid::parse(*found) : std::nullopt;
}
void fromStoreValue(StoreValue&& value, std::optional<std::string>& target) {
    auto found = std::get_if<std::string>(value ? &*value : nullptr);
    target = found ? std::optional<std::string>(std::move(*found)) : std::nullopt;
}
void fromStoreValue(StoreValue&& value, std::optional<Bytes>& target) {
    auto found = std::get_if<Bytes>(value ? &*value : nullptr);
    target = found ? std::optional<Bytes>(std::move(*found)) : std::nullopt;
}

template <typename Record, auto Member>
StoreColumn<Record> column(const char* name, const char* declaration, bool detail = false) {
    return {name,
            declaration,
            detail,
            [](sqlite3_stmt* statement, int index, const Record& record) {
                bindValue(statement, index, record.*Member);
            },
            [](sqlite3_stmt* statement, int index, Record& record) {
                readValue(statement, index, record.*Member);
            },
            [](const Record& a, const Record& b) { return a.*Member == b.*Member; },
            [](const Record& record) { return toStoreValue(record.*Member); },
            [](Record& record, StoreValue&& value) {
                fromStoreValue(std::move(value), record.*Member);
            }};
}

using R = PersistedRide;
using P = RidePhoto;

const std::array<StoreColumn<R>, 31> kRideColumns = {
    column<R, &R::rideID>("rideID", "TEXT NOT NULL"),
    column<R, &R::date>("date", "REAL NOT NULL"),
    column<R, &R::duration>("duration", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::distance>("distance", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::elevationGain>("elevationGain", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::averageHeartRate>("averageHeartRate", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::maxHeartRate>("maxHeartRate", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::calories>("calories", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::activeTime>("activeTime", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::routeData>("routeData", "BLOB", true),
    column<R, &R::heartRateData>("heartRateData", "BLOB", true),
    column<R, &R::healthKitUUID>("healthKitUUID", "TEXT"),
    column<R, &R::activityType>("activityType", "TEXT"),
    column<R, &R::importSource>("importSource", "TEXT"),
    column<R, &R::deletedAt>("deletedAt", "REAL"),
    column<R, &R::stravaActivityId>("stravaActivityId", "TEXT"),
    column<R, &R::startWeatherData>("startWeatherData", "BLOB"),
    column<R, &R::endWeatherData>("endWeatherData", "BLOB"),
    column<R, &R::city>("city", "TEXT"),
    column<R, &R::startElevation>("startElevation", "REAL"),
    column<R, &R::notes>("notes", "TEXT"),
    column<R, &R::averagePower>("averagePower", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::maxPower>("maxPower", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::averageCadence>("averageCadence", "REAL NOT NULL DEFAULT 0"),
    column<R, &R::powerData>("powerData", "BLOB", true),
    column<R, &R::mapCenterLat>("mapCenterLat", "REAL"),
    column<R, &R::mapCenterLon>("mapCenterLon", "REAL"),
    column<R, &R::mapSpanLat>("mapSpanLat", "REAL"),
    column<R, &R::mapSpanLon>("mapSpanLon", "REAL"),
    column<R, &R::trimmedAt>("trimmedAt", "REAL"),
    column<R, &R::preTrimBackup>("preTrimBackup", "BLOB", true),
};

const std::array<StoreColumn<P>, 8> kPhotoColumns = {
    column<P, &P::photoID>("photoID", "TEXT NOT NULL"),
    column<P, &P::imageData>("imageData", "BLOB"),
    column<P, &P::thumbnailData>("thumbnailData", "BLOB"),
    column<P, &P::caption>("caption", "TEXT"),
    column<P, &P::captureDate>("captureDate", "REAL"),
    column<P, &P::latitude>("latitude", "REAL"),
    column<P, &P::longitude>("longitude", "REAL"),
    column<P, &P::sortOrder>("sortOrder", "INTEGER NOT NULL DEFAULT 0"),
};

template <typename Record>
std::string tableSQL(const char* table, std::span<const StoreColumn<Record>> columns,
                     const char* trailer) {
    std::string sql = std::string("CREATE TABLE ") + table + " (id INTEGER PRIMARY KEY";
    for (const auto& column : columns)
        sql += std::string(", ") + column.name + " " + column.declaration;
    return sql + trailer + ");\n";
}

}  // namespace

std::span<const StoreColumn<PersistedRide>> rideColumns() {
    return kRideColumns;
}

std::span<const StoreColumn<RidePhoto>> photoColumns() {
    return kPhotoColumns;
}

std::string schemaSQL() {
    return tableSQL<R>("PersistedRide", rideColumns(), "") +
           tableSQL<P>("RidePhoto", photoColumns(),
                       ", ride INTEGER REFERENCES PersistedRide(id) ON DELETE CASCADE") +
           "CREATE INDEX PersistedRide_liveDate ON PersistedRide(date) WHERE deletedAt IS NULL;\n"
           "CREATE INDEX PersistedRide_date ON PersistedRide(date);\n"
           "CREATE UNIQUE INDEX PersistedRide_rideID ON PersistedRide(rideID);\n"
           "CREATE INDEX RidePhoto_ride ON RidePhoto(ride);\n";
}

std::string uniqueRideIDSQL() {
    return "DROP INDEX \"PersistedRide_rideID\";\n"
           "CREATE UNIQUE INDEX \"PersistedRide_rideID\" ON \"PersistedRide\"(\"rideID\");\n";
}

std::string twinRowsSQL() {
    return "SELECT id, \"rideID\", date FROM \"PersistedRide\" WHERE \"rideID\" IN"
           " (SELECT \"rideID\" FROM \"PersistedRide\" GROUP BY \"rideID\" HAVING count(*) > 1)"
           " ORDER BY \"rideID\", id";
}

std::vector<RenamedTwin> renameLaterTwins(const std::vector<TwinRow>& rows) {
    std::vector<RenamedTwin> renamed;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].rideID != rows[i - 1].rideID) continue;
        renamed.push_back({rows[i].objectID, rows[i].date, rows[i].rideID, Uuid::random()});
    }
    return renamed;
}

}  // namespace vantrel
