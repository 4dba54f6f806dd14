#include "analysis/CacheDatabase.h"

// Compiled in rather than linked: one library fewer to load at the start of every command.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "model/CacheFile.h"
#include "model/Paths.h"

namespace vantrel {

namespace {

// Another process holds the write lock for one batch of entries, never while it computes them:
// waiting longer than a batch takes to write gains nothing, the entries are simply made again.
constexpr int kBusyTimeoutMs = 2000;

}  // namespace

std::filesystem::path CacheDatabase::fileFor(std::string_view kind,
                                             const std::filesystem::path& storeLocation) {
    std::string location = storeLocation.string();
    // A server address names the same store from any folder; a file path is made absolute.
    if (location.find("://") == std::string::npos) {
        std::error_code error;
        auto absolute = std::filesystem::weakly_canonical(storeLocation, error);
        if (error) absolute = std::filesystem::absolute(storeLocation, error);
        location = absolute.string();
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(XXH3_64bits(location.data(), location.size())));
    return cacheFolder() / (std::string(kind) + "-" + hash + ".sqlite");
}

std::int64_t CacheDatabase::seriesHash(const std::optional<Bytes>& route,
                                       const std::optional<Bytes>& other) {
    std::uint64_t hash = route ? XXH3_64bits(route->data(), route->size()) : 0;
    if (other) hash = XXH3_64bits_withSeed(other->data(), other->size(), hash);
    return static_cast<std::int64_t>(hash);
}

std::int64_t CacheDatabase::seriesKey(const StoredSeries& series) {
    return series.mark ? *series.mark : seriesHash(series.route, series.power);
}

CacheDatabase::CacheDatabase(std::filesystem::path file, int version, std::string schema)
    : m_file(std::move(file)), m_version(version), m_schema(std::move(schema)) {
    open();
}

CacheDatabase::~CacheDatabase() {
    close();
}

void CacheDatabase::close() {
    for (auto& [sql, prepared] : m_statements) sqlite3_finalize(prepared);
    m_statements.clear();
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_pendingWrites = 0;
}

bool CacheDatabase::execute(const std::string& sql) {
    return m_db && sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool CacheDatabase::damaged() const {
    int code = m_db ? sqlite3_errcode(m_db) : SQLITE_OK;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

void CacheDatabase::open() {
    std::optional<std::filesystem::path> usable = CacheFile::usablePath(m_file);
    if (!usable) {
        // Something not ours stands in the file's place: never write through it.
        openInMemory();
        return;
    }
    m_file = *usable;
    switch (openFile()) {
        case Opening::opened:
            return;
        case Opening::damaged:
            // A damaged or foreign file holds nothing worth keeping.
            startAfresh();
            return;
        case Opening::unavailable:
            // Busy past the timeout, or not writable: this run does without the file.
            openInMemory();
            return;
    }
}

CacheDatabase::Opening CacheDatabase::openFile() {
    if (CacheFile::openDatabase(m_file, &m_db) != SQLITE_OK) {
        close();
        return Opening::unavailable;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    Opening result = execute("PRAGMA journal_mode=WAL")
                         ? checkLayout()
                         : (damaged() ? Opening::damaged : Opening::unavailable);
    if (result != Opening::opened) close();
    m_onDisk = result == Opening::opened;
    return result;
}

CacheDatabase::Opening CacheDatabase::checkLayout() {
    auto failure = [this] { return damaged() ? Opening::damaged : Opening::unavailable; };
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &prepared, nullptr) != SQLITE_OK)
        return failure();
    int version = sqlite3_step(prepared) == SQLITE_ROW ? sqlite3_column_int(prepared, 0) : -1;
    sqlite3_finalize(prepared);
    if (version == m_version) return Opening::opened;
    // An empty file is made here; one of another layout version is started afresh.
    if (version != 0) return Opening::damaged;
    if (!execute("BEGIN IMMEDIATE")) return failure();
    if (!execute(m_schema) || !execute("PRAGMA user_version=" + std::to_string(m_version)) ||
        !execute("COMMIT")) {
        // Tables that clash with ours: the file in our place is someone else's database.
        int code = sqlite3_errcode(m_db);
        Opening result = code == SQLITE_ERROR ? Opening::damaged : failure();
        execute("ROLLBACK");
        return result;
    }
    return Opening::opened;
}

void CacheDatabase::startAfresh() {
    close();
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(m_file.string() + suffix, ignored);
    if (openFile() != Opening::opened) openInMemory();
}

void CacheDatabase::openInMemory() {
    close();
    m_onDisk = false;
    if (sqlite3_open(":memory:", &m_db) != SQLITE_OK) close();
    execute(m_schema);
}

sqlite3_stmt* CacheDatabase::statement(const std::string& sql) {
    if (!m_db) return nullptr;
    sqlite3_stmt*& prepared = m_statements[sql];
    if (prepared) {
        sqlite3_reset(prepared);
        sqlite3_clear_bindings(prepared);
    } else if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &prepared, nullptr) != SQLITE_OK) {
        m_statements.erase(sql);
        return nullptr;
    }
    return prepared;
}

bool CacheDatabase::beginWrite() {
    if (!m_db) return false;
    if (m_pendingWrites == 0 && !execute("BEGIN IMMEDIATE")) {
        if (damaged()) startAfresh();
        return false;
    }
    ++m_pendingWrites;
    return true;
}

void CacheDatabase::commit() {
    if (m_pendingWrites == 0) return;
    if (execute("COMMIT"))
        m_pendingWrites = 0;
    else
        recover();
}

void CacheDatabase::recover() {
    if (damaged()) {
        startAfresh();
        return;
    }
    if (m_db && !sqlite3_get_autocommit(m_db)) execute("ROLLBACK");
    m_pendingWrites = 0;
}

std::size_t CacheDatabase::prune(const std::string& table,
                                 const std::unordered_set<std::string>& live) {
    std::vector<std::string> gone;
    sqlite3_stmt* all = statement("SELECT DISTINCT rideID FROM " + table);
    if (!all) return 0;
    int status;
    while ((status = sqlite3_step(all)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(all, 0));
        std::string id = text ? text : "";
        if (!live.contains(id)) gone.push_back(std::move(id));
    }
    sqlite3_reset(all);
    if (status != SQLITE_DONE) {
        recover();
        return 0;
    }
    return remove(table, gone);
}

std::size_t CacheDatabase::remove(const std::string& table, const std::vector<std::string>& gone) {
    if (gone.empty() || !execute("BEGIN IMMEDIATE")) return 0;
    sqlite3_stmt* remove = statement("DELETE FROM " + table + " WHERE rideID = ?1");
    for (const auto& id : gone) {
        if (!remove) break;
        sqlite3_reset(remove);
        sqlite3_bind_text(remove, 1, id.c_str(), -1, SQLITE_STATIC);
        if (sqlite3_step(remove) != SQLITE_DONE) {
            recover();
            return 0;
        }
    }
    sqlite3_reset(remove);
    if (!remove || !execute("COMMIT")) {
        recover();
        return 0;
    }
    return gone.size();
}

}  // namespace vantrel
