#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "model/PersistedRide.h"

namespace vantrel {

/// The schema version written to PRAGMA user_version; a file with a higher one is refused.
inline constexpr int kStoreSchemaVersion = 1;

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

}  // namespace vantrel
