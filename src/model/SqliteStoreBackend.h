#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "model/SqliteStatement.h"
#include "model/StoreBackend.h"

namespace vantrel {

/// The store in one SQLite file (WAL mode, busy timeout, so that the app and the CLI can share
/// one file).
///
/// Tables: "PersistedRide" (`id` INTEGER PRIMARY KEY + one column per field, in field order)
/// and "RidePhoto" (`id`, its fields, `ride` REFERENCES PersistedRide(id) ON DELETE CASCADE);
/// the schema version is the file's user_version. Every write transaction takes the file's
/// write lock at its start (BEGIN IMMEDIATE).
class SqliteStoreBackend : public StoreBackend {
  public:
    /// Opens or creates the file. Throws `StoreError` naming the file when it is not an SQLite
    /// file, has a newer schema version or cannot be read or written; the file is left untouched.
    static std::unique_ptr<SqliteStoreBackend> open(const std::filesystem::path& file);
    ~SqliteStoreBackend() override;

    std::string describe() const override { return m_file.string(); }
    void fetchRows(const RideQuery& query, bool applyLimit, const RowVisitor& visit) override;
    void fetchLiveByRideID(const Uuid& rideID, const RowVisitor& visit) override;
    std::optional<std::int64_t> rowIDOfRideID(const Uuid& rideID) override;
    std::int64_t countRows(const RideQuery& query) override;
    bool readRow(std::int64_t objectID, bool withDetails, PersistedRide& target) override;
    void readDetails(std::int64_t objectID, PersistedRide& target) override;
    std::optional<Bytes> readRouteData(std::int64_t objectID) override;
    StoredSeries readSeries(std::int64_t objectID) override;
    std::vector<ActivitySummary> readLiveSummaries() override;
    std::vector<RidePhoto> readPhotos(std::int64_t rideObjectID) override;
    void inTransaction(const std::function<void()>& write) override;
    std::optional<std::string> tryAlone(const std::function<void()>& write) override;
    std::int64_t insertRide(const PersistedRide& ride) override;
    void updateRide(const PersistedRide& ride, std::span<const std::size_t> columns) override;
    void deleteRide(std::int64_t objectID) override;
    void deleteRides(std::span<const std::int64_t> objectIDs) override;
    std::int64_t insertPhoto(const RidePhoto& photo, std::int64_t rideObjectID) override;
    void updatePhoto(const RidePhoto& photo) override;
    void deletePhoto(std::int64_t objectID) override;
    std::int64_t dataVersion() override;
    void inReadSnapshot(const std::function<void()>& read) override;
    std::optional<Date> edgeLiveDate(Date from, Date before, const std::vector<std::string>& kinds,
                                     bool newest) override;
    std::vector<PeriodSums> sumLiveInPeriods(const std::vector<PeriodRange>& periods,
                                             const std::vector<std::string>& kinds) override;

  private:
    /// Adds the series marks to a store made without them (see `RideStore::liveSummaries`).
    void addSeriesMarks();
    void addSeriesMarksOnce(const std::function<bool()>& hasMarks);
    /// Adds the index that answers `readLiveSummaries` to a store made without it.
    void addSummaryIndex();
    explicit SqliteStoreBackend(std::filesystem::path file) : m_file(std::move(file)) {}
    [[noreturn]] void fail(const std::string& what) const;
    void execute(const std::string& sql);
    SqliteStatement prepare(const std::string& sql);
    void stepToEnd(SqliteStatement& statement);
    std::int64_t pragmaInteger(const char* pragma);
    void visitRows(SqliteStatement& statement, bool withDetails, const RowVisitor& visit);

    void openConnection();
    void checkSchema();
    /// Inside the write lock: brings a store of `version` (0: empty) to the current schema.
    void upgradeSchema(std::int64_t version);
    void makeRideIDsUnique();
    void enableWriteAheadLog();
    std::int64_t readSchemaVersion();
    std::int64_t tableCount();

    std::filesystem::path m_file;
    sqlite3* m_db = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> m_statements;
    bool m_hasSeriesMarks = false;
};

}  // namespace vantrel
