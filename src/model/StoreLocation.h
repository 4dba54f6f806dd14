#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vantrel {

class StoreBackend;

/// The preference holding a PostgreSQL store URL that the app opens instead of the store file
/// (VANTREL_STORE overrides it).
inline constexpr std::string_view kStoreURLKey = "storeURL";

/// Whether a store location names a PostgreSQL server ("postgresql://…" or "postgres://…")
/// rather than an SQLite file.
bool isServerLocation(std::string_view location);

/// The location as it may be shown or logged: a server URL loses its password (in the user
/// part or as a "password" parameter); file paths are returned as they are.
std::string displayLocation(std::string_view location);

/// Opens the PostgreSQL store at `url` through the PostgreSQL module, loaded on first use so
/// that programs working on files never load the client library and what it pulls in. Throws
/// `StoreError` when the module is missing or the server refuses.
std::unique_ptr<StoreBackend> openServerBackend(const std::string& url);

}  // namespace vantrel
