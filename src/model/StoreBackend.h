#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/ActivitySummary.h"
#include "model/PersistedRide.h"
#include "model/RideStore.h"

namespace vantrel {

/// The sums of the live records in one period, for statistics.
struct PeriodSums {
    std::int64_t count = 0;
    double distance = 0;
    double movingTime = 0;  ///< `activeTime`, or `duration` where that is 0
    double elevationGain = 0;
};

/// A period [start, end) of a statistics request.
struct PeriodRange {
    Date start = 0;
    Date end = 0;
};

/// The database under a `RideStore`: rows in, rows out, transactions. The store keeps the
/// identity map, the pending changes and the shared queries above it, so that a database is
/// added by implementing this class alone. Every failure throws `StoreError` whose text starts
/// with "Store LOCATION: " (the location as `describe` gives it).
class StoreBackend {
  public:
    virtual ~StoreBackend() = default;

    /// Fills the record with the row's columns (without the detail columns when the fetch was
    /// made without details). Only valid during the visit.
    using RowReader = std::function<void(PersistedRide&)>;
    /// Called once per row with its identifier; calls the reader only when it needs the values.
    using RowVisitor = std::function<void(std::int64_t objectID, const RowReader& read)>;

    /// The location as it may be shown and logged: a file path, or a URL without its password.
    virtual std::string describe() const = 0;

    /// Rows matching the filter in the query's order; the limit only when `applyLimit`.
    virtual void fetchRows(const RideQuery& query, bool applyLimit, const RowVisitor& visit) = 0;
    /// Live rows with this rideID, oldest row first, with details.
    virtual void fetchLiveByRideID(const Uuid& rideID, const RowVisitor& visit) = 0;
    /// The row holding this rideID, deleted or not.
    virtual std::optional<std::int64_t> rowIDOfRideID(const Uuid& rideID) = 0;
    virtual std::int64_t countRows(const RideQuery& query) = 0;
    /// Reads one row into `target`; false when the row no longer exists.
    virtual bool readRow(std::int64_t objectID, bool withDetails, PersistedRide& target) = 0;
    /// Reads the detail columns of one row; leaves `target` alone when the row is gone.
    virtual void readDetails(std::int64_t objectID, PersistedRide& target) = 0;
    /// The stored route bytes of one row alone (no other blob is read); absent when the row has
    /// none or is gone.
    virtual std::optional<Bytes> readRouteData(std::int64_t objectID) = 0;
    /// The stored route and power bytes of one row, in one read and nothing else; both absent
    /// when the row is gone.
    virtual StoredSeries readSeries(std::int64_t objectID) = 0;
    /// The summary of every live row, oldest first (by date, then id), in one query that reads
    /// none of the large fields.
    virtual std::vector<ActivitySummary> readLiveSummaries() = 0;
    /// The photos of a record in insertion order.
    virtual std::vector<RidePhoto> readPhotos(std::int64_t rideObjectID) = 0;

    /// Runs `write` in one transaction: committed when it returns, rolled back when it throws.
    virtual void inTransaction(const std::function<void()>& write) = 0;
    /// After `inTransaction` threw: whether the transaction may have been committed all the
    /// same (the connection broke after the commit was sent, before its answer came).
    virtual bool commitOutcomeUnknown() const { return false; }
    /// Inside a transaction, before it writes: waits until no other connection is inside a
    /// transaction that adds records, and keeps them out until this one ends, so that what a
    /// transaction reads of other connections' new rows stays true until it commits. (A
    /// database whose transactions all write under one lock has nothing more to do.)
    virtual void lockForInserts() {}
    /// Inside a transaction: runs `write` so that a failure caused by the values it writes (a
    /// constraint, a refusing trigger, a value too large) undoes it alone and comes back as the
    /// reason; any other failure throws.
    virtual std::optional<std::string> tryAlone(const std::function<void()>& write) = 0;

    /// Returns the new row's identifier.
    virtual std::int64_t insertRide(const PersistedRide& ride) = 0;
    /// Writes the columns with these indexes into `rideColumns()`.
    virtual void updateRide(const PersistedRide& ride, std::span<const std::size_t> columns) = 0;
    /// Deletes the row and its photos.
    virtual void deleteRide(std::int64_t objectID) = 0;
    /// Deletes these rows and their photos, inside a transaction; a database where one
    /// statement can name many rows does it in one.
    virtual void deleteRides(std::span<const std::int64_t> objectIDs) {
        for (std::int64_t objectID : objectIDs) deleteRide(objectID);
    }
    virtual std::int64_t insertPhoto(const RidePhoto& photo, std::int64_t rideObjectID) = 0;
    virtual void updatePhoto(const RidePhoto& photo) = 0;
    virtual void deletePhoto(std::int64_t objectID) = 0;

    /// Runs `read` on one snapshot of the data where the database offers one cheaply.
    virtual void inReadSnapshot(const std::function<void()>& read) { read(); }
    /// The date of the oldest (or with `newest` the newest) live record of these kinds (raw
    /// values; empty means every record) in [from, before).
    virtual std::optional<Date> edgeLiveDate(Date from, Date before,
                                             const std::vector<std::string>& kinds,
                                             bool newest) = 0;
    /// The sums of the live records of these kinds in each period, in one aggregate query.
    virtual std::vector<PeriodSums> sumLiveInPeriods(const std::vector<PeriodRange>& periods,
                                                     const std::vector<std::string>& kinds) = 0;

    /// Changes when another connection (another process or computer) has committed a change.
    virtual std::int64_t dataVersion() = 0;

    /// The number of live records in each period [boundaries[i], boundaries[i + 1]) in one
    /// pass, for a database where every query costs a round trip; nothing when the backend
    /// prefers to be asked period by period (the default).
    virtual std::optional<std::vector<std::int64_t>> countLiveInPeriods(
        const std::vector<Date>& /*boundaries*/) {
        return std::nullopt;
    }

    /// The records that opening an older store gave a fresh rideID (see
    /// `RideStore::renamedTwins`).
    const std::vector<RenamedTwin>& renamedTwins() const { return m_renamedTwins; }

  protected:
    std::vector<RenamedTwin> m_renamedTwins;
};

}  // namespace vantrel
