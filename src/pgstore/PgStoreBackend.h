#pragma once

#include <libpq-fe.h>

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/RideStoreSchema.h"
#include "model/StoreBackend.h"

namespace vantrel {

class PgListener;

/// The store in a PostgreSQL database, shared by several computers. The same tables and
/// columns as the SQLite file, in the same order (bytes as bytea, doubles as double precision,
/// the identifier a bigint identity); the schema version is the comment of "PersistedRide".
/// Triggers on both tables notify `PgListener::kChannel` on every committed change.
///
/// A save is one transaction; concurrent saves of one record keep the later one's values. A
/// lost connection fails the call it happens in and is made again by the next one. The
/// transactions that add records run one at a time (an advisory lock), as on an SQLite file.
class PgStoreBackend : public StoreBackend {
  public:
    /// Connects, checks the schema and creates the tables in an empty database. Throws
    /// `StoreError` naming the server (never the password).
    static std::unique_ptr<PgStoreBackend> open(const std::string& url);
    ~PgStoreBackend() override;

    std::string describe() const override { return m_display; }
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
    bool commitOutcomeUnknown() const override { return m_commitUnknown; }
    void lockForInserts() override;
    std::optional<std::string> tryAlone(const std::function<void()>& write) override;
    std::int64_t insertRide(const PersistedRide& ride) override;
    void updateRide(const PersistedRide& ride, std::span<const std::size_t> columns) override;
    void deleteRide(std::int64_t objectID) override;
    void deleteRides(std::span<const std::int64_t> objectIDs) override;
    std::int64_t insertPhoto(const RidePhoto& photo, std::int64_t rideObjectID) override;
    void updatePhoto(const RidePhoto& photo) override;
    void deletePhoto(std::int64_t objectID) override;
    std::int64_t dataVersion() override;
    std::optional<Date> edgeLiveDate(Date from, Date before, const std::vector<std::string>& kinds,
                                     bool newest) override;
    std::vector<PeriodSums> sumLiveInPeriods(const std::vector<PeriodRange>& periods,
                                             const std::vector<std::string>& kinds) override;
    std::optional<std::vector<std::int64_t>> countLiveInPeriods(
        const std::vector<Date>& boundaries) override;

  private:
    /// Adds the series marks to a store made without them (see `RideStore::liveSummaries`).
    void addSeriesMarks();
    void addSeriesMarksOnce();
    struct Result;
    explicit PgStoreBackend(std::string url);
    [[noreturn]] void fail(const std::string& what, const std::string& reason) const;
    void connect();
    void ensureConnected();
    /// Runs one statement with binary parameters and results; throws "cannot `what`".
    Result run(const std::string& sql, const std::vector<StoreValue>& parameters, const char* what);
    void command(const std::string& sql, const char* what = "cannot write");
    void checkSchema();
    void upgradeSchema();
    void makeRideIDsUnique();
    void visitRows(Result& result, bool withDetails, const RowVisitor& visit);
    /// Runs a query of rides through a cursor and visits its rows a batch at a time.
    void fetchInBatches(const std::string& sql, const std::vector<StoreValue>& parameters,
                        bool withDetails, const RowVisitor& visit);
    void visitCursor(const std::string& sql, const std::vector<StoreValue>& parameters,
                     bool withDetails, const RowVisitor& visit);

    std::string m_url;
    std::string m_display;
    PGconn* m_connection = nullptr;
    bool m_inTransaction = false;
    bool m_commitUnknown = false;
    std::string m_lastState;
    std::unordered_map<std::string, std::string> m_prepared;
    std::atomic<int> m_serverProcess{0};
    std::unique_ptr<PgListener> m_listener;
    bool m_hasSeriesMarks = false;
    /// Cursors open at once: a visitor may read rows again while its own cursor is open.
    int m_openCursors = 0;
};

}  // namespace vantrel
