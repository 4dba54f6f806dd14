#include "model/RideStoreSchema.h"

#include <array>
#include <string_view>

#include "model/RideFields.h"

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

// The large byte fields, which lists of records leave unread until a record's details are asked
// for.
constexpr bool isDetail(std::string_view name) {
    return name == "routeData" || name == "heartRateData" || name == "powerData" ||
           name == "preTrimBackup";
}

template <typename Record, std::size_t Count>
constexpr std::array<StoreColumn<Record>, Count> columnsOf(
    const std::array<RecordField<Record>, Count>& fields) {
    std::array<StoreColumn<Record>, Count> columns{};
    for (std::size_t i = 0; i < Count; ++i) columns[i] = {fields[i], isDetail(fields[i].name)};
    return columns;
}

using R = PersistedRide;
using P = RidePhoto;

constexpr auto kRideColumns = columnsOf(kRideFields);
constexpr auto kPhotoColumns = columnsOf(kPhotoFields);

}  // namespace

template <typename Record>
StoreValue columnValue(const StoreColumn<Record>& column, const Record& record) {
    return column.apply(record, [](const auto& value) { return toStoreValue(value); });
}
template StoreValue columnValue(const StoreColumn<R>&, const R&);
template StoreValue columnValue(const StoreColumn<P>&, const P&);

template <typename Record>
void setColumnValue(const StoreColumn<Record>& column, Record& record, StoreValue&& value) {
    column.apply(record, [&](auto& target) { fromStoreValue(std::move(value), target); });
}
template void setColumnValue(const StoreColumn<R>&, R&, StoreValue&&);
template void setColumnValue(const StoreColumn<P>&, P&, StoreValue&&);

std::span<const StoreColumn<PersistedRide>> rideColumns() {
    return kRideColumns;
}

std::span<const StoreColumn<RidePhoto>> photoColumns() {
    return kPhotoColumns;
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
