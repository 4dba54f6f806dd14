#include "services/GeocodeCache.h"

#include <sqlite3.h>

#include <cstdint>

#include "model/Paths.h"

namespace vantrel {

namespace {

// Marks the file as ours: any other database found under this name is started afresh.
constexpr int kApplicationId = 0x56474331;
// Raised when the table changes: an older file is then started afresh too.
constexpr int kLayoutVersion = 1;
// A cache must never hold up a look-up for long; a file busy longer than this is done without.
constexpr int kBusyTimeoutMs = 500;

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS answers(service TEXT NOT NULL, kind TEXT NOT NULL, "
    "question TEXT NOT NULL, answer BLOB NOT NULL, answeredAt INTEGER NOT NULL, "
    "PRIMARY KEY(service, kind, question)) WITHOUT ROWID";

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (db) sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return {statement, sqlite3_finalize};
}

void bindText(sqlite3_stmt* statement, int index, std::string_view text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void bindQuestion(sqlite3_stmt* statement, const GeocodeCache::Question& question) {
    bindText(statement, 1, question.service);
    bindText(statement, 2, question.kind);
    bindText(statement, 3, question.text);
}

std::optional<std::int64_t> singleNumber(sqlite3* db, const char* sql) {
    auto statement = prepare(db, sql);
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW) return std::nullopt;
    return sqlite3_column_int64(statement.get(), 0);
}

/// Every opening of the cache file goes through here. A symbolic link in the file's place is
/// refused rather than followed, so that the cache never writes where such a link points.
int openCacheFile(const std::filesystem::path& file, sqlite3** db) {
    return sqlite3_open_v2(file.c_str(), db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                           nullptr);
}

}  // namespace

struct GeocodeCache::Impl {
    std::filesystem::path file;
    Now now;
    sqlite3* db = nullptr;
    bool inMemory = false;
    bool rebuilt = false;

    ~Impl() { close(); }

    enum class Opening { opened, damaged, unavailable };

    void close() {
        if (db) sqlite3_close_v2(db);
        db = nullptr;
    }

    bool execute(const char* sql) {
        return db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    /// Whether the last failure says the file itself is broken, rather than busy or read-only.
    bool damaged() const {
        int code = db ? sqlite3_errcode(db) : SQLITE_OK;
        return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
    }

    Opening failure() const { return damaged() ? Opening::damaged : Opening::unavailable; }

    std::int64_t seconds() const {
        return std::chrono::duration_cast<std::chrono::seconds>(now().time_since_epoch()).count();
    }

    void open();
    Opening openFile();
    Opening checkLayout();
    bool dropExpired();
    void startAfresh();
    void openInMemory();
    void recover();
};

void GeocodeCache::Impl::open() {
    switch (openFile()) {
        case Opening::opened:
            return;
        case Opening::damaged:
            startAfresh();
            return;
        case Opening::unavailable:
            openInMemory();
            return;
    }
}

GeocodeCache::Impl::Opening GeocodeCache::Impl::openFile() {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    if (openCacheFile(file, &db) != SQLITE_OK) {
        close();
        return Opening::unavailable;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    Opening result = execute("PRAGMA journal_mode=WAL") ? checkLayout() : failure();
    if (result == Opening::opened) {
        // Losing the last answers in a power cut costs a question each; a sync costs every one.
        execute("PRAGMA synchronous=NORMAL");
        // Reading every answer's date also finds broken pages before any look-up meets them.
        if (!dropExpired() && damaged()) result = Opening::damaged;
    }
    if (result != Opening::opened) close();
    return result;
}

GeocodeCache::Impl::Opening GeocodeCache::Impl::checkLayout() {
    auto objects = singleNumber(db, "SELECT count(*) FROM sqlite_master");
    auto application = singleNumber(db, "PRAGMA application_id");
    auto version = singleNumber(db, "PRAGMA user_version");
    if (!objects || !application || !version) return failure();
    if (*objects == 0) {
        bool made = execute(kCreateTable) &&
                    execute(("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str()) &&
                    execute(("PRAGMA user_version=" + std::to_string(kLayoutVersion)).c_str());
        return made ? Opening::opened : failure();
    }
    if (*application != kApplicationId || *version != kLayoutVersion) return Opening::damaged;
    return execute(kCreateTable) ? Opening::opened : failure();
}

bool GeocodeCache::Impl::dropExpired() {
    // Answers dated in the future come from a clock that was wrong; they would never expire.
    auto statement =
        prepare(db, "DELETE FROM answers WHERE answeredAt < ?1 OR answeredAt > ?2 + 86400");
    if (!statement) return false;
    std::int64_t current = seconds();
    sqlite3_bind_int64(statement.get(), 1, current - kLifetime / std::chrono::seconds(1));
    sqlite3_bind_int64(statement.get(), 2, current);
    return sqlite3_step(statement.get()) == SQLITE_DONE;
}

void GeocodeCache::Impl::startAfresh() {
    close();
    rebuilt = true;
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(file.string() + suffix, ignored);
    }
    if (openFile() != Opening::opened) openInMemory();
}

void GeocodeCache::Impl::openInMemory() {
    close();
    inMemory = true;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK || !execute(kCreateTable)) close();
}

void GeocodeCache::Impl::recover() {
    if (inMemory) return;
    // A file that broke while in use is rebuilt once; one that is busy or refuses writes, or
    // broke again, is done without for the rest of this cache's life.
    if (damaged() && !rebuilt) {
        startAfresh();
    } else {
        openInMemory();
    }
}

std::filesystem::path GeocodeCache::defaultFile() {
    return cacheFolder() / "geocode.sqlite";
}

GeocodeCache::GeocodeCache(std::filesystem::path file, Now now) : m_impl(std::make_unique<Impl>()) {
    m_impl->file = std::move(file);
    m_impl->now = now ? std::move(now) : Now([] { return Clock::now(); });
    m_impl->open();
}

GeocodeCache::~GeocodeCache() = default;

bool GeocodeCache::persistent() const {
    return !m_impl->inMemory;
}

std::optional<std::string> GeocodeCache::find(const Question& question) {
    auto& impl = *m_impl;
    auto statement = prepare(impl.db,
                             "SELECT answer FROM answers WHERE service = ?1 AND kind = ?2 AND "
                             "question = ?3 AND answeredAt >= ?4");
    if (!statement) {
        impl.recover();
        return std::nullopt;
    }
    bindQuestion(statement.get(), question);
    sqlite3_bind_int64(statement.get(), 4, impl.seconds() - kLifetime / std::chrono::seconds(1));
    int status = sqlite3_step(statement.get());
    if (status == SQLITE_ROW) {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement.get(), 0));
        auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), 0));
        return bytes ? std::string(bytes, size) : std::string();
    }
    if (status != SQLITE_DONE) {
        statement.reset();
        impl.recover();
    }
    return std::nullopt;
}

void GeocodeCache::store(const Question& question, std::string_view answer) {
    auto& impl = *m_impl;
    // A second try goes to the rebuilt file or to memory, so that this run still remembers.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto statement =
            prepare(impl.db, "INSERT OR REPLACE INTO answers VALUES (?1, ?2, ?3, ?4, ?5)");
        if (statement) {
            bindQuestion(statement.get(), question);
            sqlite3_bind_blob(statement.get(), 4, answer.data(), static_cast<int>(answer.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int64(statement.get(), 5, impl.seconds());
            if (sqlite3_step(statement.get()) == SQLITE_DONE) return;
        }
        statement.reset();
        impl.recover();
    }
}

}  // namespace vantrel
