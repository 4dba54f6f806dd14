#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "model/PersistedRide.h"
#include "model/RecordField.h"
#include "model/RideStore.h"

namespace vantrel {

/// The schema version written to PRAGMA user_version; a file with a higher one is refused.
/// 1: the first tables. 2: `rideID` is unique.
inline constexpr int kStoreSchemaVersion = 2;

/// A column value outside any particular database: absent (NULL) or the value in the column's
/// type. Identifiers are text, as SQLite stores them.
using StoreValue = std::optional<std::variant<double, std::int64_t, std::string, Bytes>>;

/// One stored field of a record as a column of its table; the name is the column's.
template <typename Record>
struct StoreColumn : RecordField<Record> {
    /// One of the large byte fields that fetches without details leave unread.
    bool detail = false;
};

/// The columns of "PersistedRide" after `id`, in field order.
std::span<const StoreColumn<PersistedRide>> rideColumns();
/// The columns of "RidePhoto" after `id` and before `ride`, in field order.
std::span<const StoreColumn<RidePhoto>> photoColumns();

/// The value of `column` in `record`, for backends that pass values rather than bind members.
template <typename Record>
StoreValue columnValue(const StoreColumn<Record>& column, const Record& record);
/// Sets `column` of `record`; absent or mistyped values read as SQLite reads them (0 for
/// numbers, the nil identifier).
template <typename Record>
void setColumnValue(const StoreColumn<Record>& column, Record& record, StoreValue&& value);

/// The upgrade from schema 1 to 2, in SQL that both databases read (quoted identifiers): the
/// index on `rideID` becomes unique. The later twins must have been renamed first.
std::string uniqueRideIDSQL();
/// Every row whose `rideID` another row also holds: id, rideID, date, ordered by rideID and id.
std::string twinRowsSQL();

/// A row of one twin group, as `twinRowsSQL` lists it.
struct TwinRow {
    std::int64_t objectID = 0;
    std::string rideID;
    Date date = 0;
};
/// Gives every row of a twin group but the oldest (lowest id) a fresh rideID; the rows come
/// in the order of `twinRowsSQL`.
std::vector<RenamedTwin> renameLaterTwins(const std::vector<TwinRow>& rows);

}  // namespace vantrel
