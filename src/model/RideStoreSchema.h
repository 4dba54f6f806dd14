#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "model/PersistedRide.h"
#include "model/RideStore.h"

namespace vantrel {

/// The schema version written to PRAGMA user_version; a file with a higher one is refused.
/// 1: the first tables. 2: `rideID` is unique.
inline constexpr int kStoreSchemaVersion = 2;

/// A column value outside any particular database: absent (NULL) or the value in the column's
/// type. Identifiers are text, as SQLite stores them.
using StoreValue = std::optional<std::variant<double, std::int64_t, std::string, Bytes>>;

/// One stored field of a record: its column, and how to bind, read and compare it. `bind` and
/// `read` are SQLite's; `get` and `set` serve the other backends.
template <typename Record>
struct StoreColumn {
    const char* name;
    /// The SQLite declaration ("REAL NOT NULL DEFAULT 0"); other backends map its type word.
    const char* declaration;
    /// One of the large byte fields that fetches without details leave unread.
    bool detail;
    void (*bind)(sqlite3_stmt*, int, const Record&);
    void (*read)(sqlite3_stmt*, int, Record&);
    bool (*same)(const Record&, const Record&);
    StoreValue (*get)(const Record&);
    void (*set)(Record&, StoreValue&&);
};

/// The columns of "PersistedRide" after `id`, in field order.
std::span<const StoreColumn<PersistedRide>> rideColumns();
/// The columns of "RidePhoto" after `id` and before `ride`, in field order.
std::span<const StoreColumn<RidePhoto>> photoColumns();

/// Statements creating both tables and their indexes.
std::string schemaSQL();

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
