#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/ActivityStatistics.h"
#include "model/ActivitySummary.h"
#include "model/PersistedRide.h"
#include "model/Preferences.h"

namespace vantrel {

class StoreBackend;

/// A store that cannot be opened or written. `what()` names the file (or the server, without
/// its password) and the reason.
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// A record that shared its rideID with an older row of a store made before rideIDs were
/// unique, and the fresh rideID it was given when the store was opened.
struct RenamedTwin {
    std::int64_t objectID = 0;
    Date date = 0;
    std::string oldRideID;
    Uuid newRideID;
};

/// A filter, order and limit evaluated by the store.
struct RideQuery {
    bool liveOnly = false;           ///< `deletedAt` absent
    bool cityMissingOnly = false;    ///< `city` absent
    bool withRouteOnly = false;      ///< `routeData` present
    std::optional<Date> dateFrom;    ///< `date` >= dateFrom
    std::optional<Date> dateBefore;  ///< `date` < dateBefore
    /// Saved rows whose objectID is above this one: those saved later (pending records never).
    std::optional<std::int64_t> objectIDAfter;
    enum class Order { none, dateAscending, dateDescending } order = Order::none;
    std::optional<std::int64_t> limit;
    /// When false, the four large byte fields (`routeData`, `heartRateData`, `powerData`,
    /// `preTrimBackup`) and the photos are not read; `RideStore::loadDetails` reads them later.
    bool withDetails = true;
};

/// A record's series as saved, for caches that measure them.
struct StoredSeries {
    std::optional<Bytes> route;
    std::optional<Bytes> power;
    /// The record's series mark as read with them (see `RideStore::liveSummaries`).
    std::optional<std::int64_t> mark;
};

struct YearSummary {
    int year = 0;
    std::int64_t count = 0;
    friend bool operator==(const YearSummary&, const YearSummary&) = default;
};

/// The main-thread context over one store: an SQLite file, or a PostgreSQL database that
/// several computers share (see `StoreBackend` and its two implementations). Records are
/// handed out as shared objects, one per row while anyone holds it; changes made to them are
/// written by the next `save()`.
///
/// Tables: "PersistedRide" (`id` + one column per field, in field order) and "RidePhoto"
/// (`id`, its fields, `ride` referencing PersistedRide(id), deleted with it).
/// Not thread-safe: use it from the thread that owns it.
class RideStore {
  public:
    /// Opens or creates the store: a "postgresql://" URL names a server, anything else an
    /// SQLite file. Throws `StoreError` naming the location when it is not a Vantrel store,
    /// has a newer schema version or cannot be reached, read or written; it is left untouched.
    static std::unique_ptr<RideStore> open(const std::filesystem::path& location);
    ~RideStore();

    RideStore(const RideStore&) = delete;
    RideStore& operator=(const RideStore&) = delete;

    /// The location as given to `open` (a server URL may hold a password: do not show it).
    const std::filesystem::path& path() const;
    /// The location as it may be shown and logged.
    std::string describe() const;
    /// The records this opening gave a fresh rideID because an older row held theirs (only the
    /// process that upgraded an older store sees them); nothing was lost.
    const std::vector<RenamedTwin>& renamedTwins() const;

    std::vector<RideRef> fetch(const RideQuery& query);
    /// Calls `visit` with each saved record matching the query, in the query's order, as its
    /// row is read: the records are not kept (nor are their photos read), so a whole history
    /// passes through in constant memory. Pending changes are not seen. The record is valid
    /// only during the call. Throws `StoreError`, also after some records were visited.
    void visit(const RideQuery& query, const std::function<void(const PersistedRide&)>& visit);
    /// Number of records matching the filter (order, limit and details ignored).
    std::int64_t count(const RideQuery& query);
    /// Reads the large byte fields and photos of a record fetched without details.
    void loadDetails(const RideRef& ride);
    /// The live record with this rideID, if any.
    RideRef fetchByRideID(const Uuid& rideID);
    /// The route bytes as last saved for the record with this objectID, read on their own
    /// (none of the other series or photos) and not kept: for caches that look at many routes
    /// one at a time. Absent when the field is absent or there is no such row.
    std::optional<Bytes> storedRouteData(std::int64_t objectID);
    /// The route and power bytes as last saved, read together and on their own as
    /// `storedRouteData` reads the route. Both absent when there is no such row.
    StoredSeries storedSeries(std::int64_t objectID);
    /// The summary of every saved live record, oldest first, with its series mark, in one query
    /// that reads no series, place or notes: for caches that pass over a whole history.
    /// Changes not yet saved are not in it. The store gives a record a new mark whenever its
    /// route or power is written (by any program or computer): an unchanged mark means
    /// unchanged series.
    std::vector<ActivitySummary> liveSummaries();

    /// Adds a new record; it is written (and gets its objectID) at the next save.
    void insert(const RideRef& ride);
    /// Removes a record and its photos at the next save.
    void remove(const RideRef& ride);
    /// Writes every insertion, deletion and change in one transaction. Throws `StoreError`;
    /// on failure the store is as it was before the call and the changes stay pending (a lost
    /// server connection is made again by the next save). When the connection was lost after
    /// the commit was sent, the server may have stored the records anyway: the next save then
    /// takes each new record whose rideID the store holds as saved instead of writing it again.
    void save();
    /// A new record that `saveDroppingUnwritable` could not write, and why.
    struct UnwritableRecord {
        RideRef ride;
        std::string reason;
    };
    /// Called inside the save's transaction, while the store's write lock is held, with the new
    /// records about to be written; returns those to leave out. They are dropped from the
    /// pending changes at once, for good, even when the save then fails.
    using NewRecordFilter = std::function<std::vector<RideRef>(const std::vector<RideRef>&)>;
    /// Like `save`, except that a new record the store refuses does not hold back the others: it
    /// is left out of the transaction and dropped from the pending changes (it stays unsaved,
    /// with no objectID), and the rest is written. Returns the records dropped that way. Any
    /// other failure (a change or deletion, a full, locked or damaged store, a lost server) throws
    /// as `save` does. `filter`, when given, decides first which new records not to write at all.
    std::vector<UnwritableRecord> saveDroppingUnwritable(const NewRecordFilter& filter = {});
    /// Called after each batch of a long deletion with the records deleted so far and in all.
    using DeletionProgress = std::function<void(std::size_t done, std::size_t total)>;
    /// Deletes the saved records with these objectIDs and their photos, in one transaction
    /// (whatever else is pending is not written). Throws `StoreError`; then nothing was deleted.
    /// Afterwards records held for those rows have objectID 0, as after `remove` and `save`.
    void deleteSaved(const std::vector<std::int64_t>& objectIDs,
                     const DeletionProgress& progress = {});
    /// Forgets what this connection holds of rows that another connection deleted: the
    /// records' objectIDs become 0 and their pending changes and removals are dropped.
    void forgetDeleted(const std::vector<std::int64_t>& objectIDs);
    /// Saves if there are pending changes, swallowing errors (returns false on failure).
    bool autosave();
    bool hasChanges() const;
    /// Forgets unsaved changes of every held record and re-reads them from the store.
    void refreshAll();
    /// Changes when another connection (another process, another computer) has committed.
    std::int64_t dataVersion();

    // Shared queries of the application (calendar years in the local time zone).
    std::vector<YearSummary> yearSummaries();
    std::vector<RideRef> activitiesOfYear(int year, bool withDetails = true);
    std::vector<RideRef> allLiveActivities(bool withDetails = true);
    std::vector<RideRef> allRecords(bool withDetails = true);
    /// Newest first; optionally only those without a city and/or within one calendar year.
    /// Fetched without details (a whole history of routes would not fit in memory at once):
    /// call `loadDetails` on each record before reading its series.
    std::vector<RideRef> activitiesToLocate(bool missingCityOnly, std::optional<int> year);

    /// Totals per period of the live activities matching the query, read from the saved
    /// records (pending changes are not counted) without decoding any series. Every period
    /// from the one holding the first matching activity to the one holding the last is listed,
    /// empty ones with zeros; the first and last periods only count what lies in the range.
    /// Empty when nothing matches. Throws `StoreError` when the store cannot be read.
    std::vector<PeriodTotals> statistics(const StatisticsQuery& query);
    /// The running distance total of every year that has a matching activity, oldest first.
    /// Throws `StoreError` when the store cannot be read.
    std::vector<YearToDateDistance> yearToDateDistance(const std::vector<ActivityType>& kinds);

    struct Impl;

  private:
    explicit RideStore(std::unique_ptr<Impl> impl);
    std::optional<int> nextOlderYear(int year);
    StoreBackend& backend() const;
    std::unique_ptr<Impl> m_impl;
};

/// Packs plain series of at least 128 bytes in every record, saving after every 50th migrated
/// record and at the end (save errors ignored). Returns the number of migrated records.
int compressStoredSeries(RideStore& store);
/// Runs `compressStoredSeries` once per installation: unless `preferences` already holds the
/// flag "rideCompressionMigrationV1Done", which it then sets.
void runCompressionMigrationIfNeeded(RideStore& store, Preferences& preferences);

}  // namespace vantrel
