#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/Bytes.h"
#include "model/RideStore.h"

namespace vantrel {

/// The SQLite file under one of a store's caches (records, heatmap): a file per store location,
/// in write-ahead mode, emptied when its layout version changes, started afresh when damaged or
/// foreign, kept in memory when no file can be used, written in batches and pruned of
/// activities the store no longer holds. A cache holds nothing that cannot be rebuilt, so none
/// of this is ever an error for its caller: the worst a broken file costs is speed.
///
/// Not thread-safe; one object per thread (the file may be shared by several processes).
class CacheDatabase {
  public:
    /// cacheFolder()/KIND-HASH.sqlite, HASH being that of the store's location: a file path
    /// made absolute, or a server address as given, so that each store keeps caches of its own
    /// and a server store the same ones from any folder.
    static std::filesystem::path fileFor(std::string_view kind,
                                         const std::filesystem::path& storeLocation);

    /// The hash a cache keys an activity's entry by: of its route bytes, seeded with it for the
    /// bytes of another series when there is one. An activity without route hashes to 0 in
    /// every cache, so that it is remembered (as having no line, no records) like any other.
    static std::int64_t seriesHash(const std::optional<Bytes>& route,
                                   const std::optional<Bytes>& other = std::nullopt);

    /// The key of an activity's entry: the series mark the store gave it, or where a store
    /// has none the hash of the series read.
    static std::int64_t seriesKey(const StoredSeries& series);

    /// Opens or creates `file` with the tables `schema` creates (statements run on an empty
    /// file). A file of another `version` is emptied first.
    CacheDatabase(std::filesystem::path file, int version, std::string schema);
    ~CacheDatabase();
    CacheDatabase(const CacheDatabase&) = delete;
    CacheDatabase& operator=(const CacheDatabase&) = delete;

    /// False when the cache works in memory because its file could not be used.
    bool onDisk() const { return m_onDisk; }

    /// A statement prepared once per connection (reset when handed out); null when it cannot
    /// be prepared. Valid until the next `recover` or `commit`.
    sqlite3_stmt* statement(const std::string& sql);

    /// Before each write of a batch: opens the batch's transaction when none is open. False
    /// when it cannot be opened (busy past the timeout, or broken): the write is skipped.
    bool beginWrite();
    /// Writes made since the batch's transaction was opened.
    std::size_t pendingWrites() const { return m_pendingWrites; }
    /// Commits the open batch, if any; a failure is recovered from as `recover` does.
    void commit();
    /// After a statement failed: a damaged file is started afresh, anything else (busy, full)
    /// drops the open batch, whose entries are then computed again next time.
    void recover();

    /// Removes the entries of every activity not in `live` (by the text column `rideID` of
    /// `table`) in one transaction. Returns the number of activities removed.
    std::size_t prune(const std::string& table, const std::unordered_set<std::string>& live);
    /// Removes the entries of these activities (by the text column `rideID` of `table`) in one
    /// transaction. Returns the number of activities removed.
    std::size_t remove(const std::string& table, const std::vector<std::string>& rideIDs);

  private:
    enum class Opening { opened, damaged, unavailable };
    void open();
    Opening openFile();
    Opening checkLayout();
    void openInMemory();
    void startAfresh();
    void close();
    bool execute(const std::string& sql);
    bool damaged() const;

    std::filesystem::path m_file;
    int m_version;
    std::string m_schema;
    sqlite3* m_db = nullptr;
    bool m_onDisk = false;
    std::size_t m_pendingWrites = 0;
    std::unordered_map<std::string, sqlite3_stmt*> m_statements;
};

}  // namespace vantrel
