#pragma once

#include <sqlite3.h>

#include <span>
#include <string>

#include "model/PersistedRide.h"

namespace vantrel {

/// The schema version written to PRAGMA user_version; a file with a higher one is refused.
inline constexpr int kStoreSchemaVersion = 1;

/// One stored field of a record: its column, and how to bind, read and compare it.
template <typename Record>
struct StoreColumn {
    const char* name;
    const char* declaration;
    /// One of the large byte fields that fetches without details leave unread.
    bool detail;
    void (*bind)(sqlite3_stmt*, int, const Record&);
    void (*read)(sqlite3_stmt*, int, Record&);
    bool (*same)(const Record&, const Record&);
};

/// The columns of "PersistedRide" after `id`, in field order.
std::span<const StoreColumn<PersistedRide>> rideColumns();
/// The columns of "RidePhoto" after `id` and before `ride`, in field order.
std::span<const StoreColumn<RidePhoto>> photoColumns();

/// Statements creating both tables and their indexes.
std::string schemaSQL();

}  // namespace vantrel
