#include "model/RideStore.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "model/RideStoreSchema.h"
#include "model/SqliteStoreBackend.h"
#include "model/StoreBackend.h"
#include "model/StoreLocation.h"

namespace vantrel {

namespace {

// Years walked one by one while the store cannot say which year comes next; a store failing
// that long has nothing more to list, and a far-future date must not make the walk endless.
constexpr int kMostBlindYearSteps = 64;
// Years counted in one query at most; a wider span (a clock set centuries off) is walked.
constexpr int kMostYearsInOnePass = 200;
// Rows deleted per statement: small enough to report progress often, large enough that a
// history of thousands takes few round trips.
constexpr std::size_t kDeletionBatch = 500;

struct Entry {
    PersistedRide* object = nullptr;
    std::weak_ptr<PersistedRide> ride;
    /// The values as last read from or written to the store.
    PersistedRide snapshot;
    bool detailsLoaded = false;
};

bool photosChanged(const PersistedRide& ride, const PersistedRide& snapshot) {
    if (ride.photos.size() != snapshot.photos.size()) return true;
    for (std::size_t i = 0; i < ride.photos.size(); ++i) {
        if (!(ride.photos[i] == snapshot.photos[i])) return true;
    }
    return false;
}

bool isDirty(const PersistedRide& ride, const Entry& entry) {
    for (const auto& column : rideColumns()) {
        if (!column.same(ride, entry.snapshot)) return true;
    }
    return photosChanged(ride, entry.snapshot);
}

/// Held records by row id. Shared with the deleters of the handed-out records so that a
/// record dropped with unsaved changes is kept until the next save instead of losing them.
struct Registry {
    std::unordered_map<std::int64_t, Entry> entries;
    std::vector<RideRef> retained;
};

struct RetainingDeleter {
    std::weak_ptr<Registry> registry;
    void operator()(PersistedRide* ride) const;
};

void RetainingDeleter::operator()(PersistedRide* ride) const {
    if (auto held = registry.lock()) {
        auto found = held->entries.find(ride->objectID);
        if (found != held->entries.end() && found->second.object == ride) {
            if (isDirty(*ride, found->second)) {
                RideRef kept(ride, *this);
                found->second.ride = kept;
                held->retained.push_back(std::move(kept));
                return;
            }
            held->entries.erase(found);
        }
    }
    delete ride;
}

bool matches(const RideQuery& query, const PersistedRide& ride) {
    if (query.liveOnly && ride.deletedAt) return false;
    if (query.cityMissingOnly && ride.city) return false;
    if (query.withRouteOnly && !ride.routeData) return false;
    if (query.objectIDAfter && (ride.objectID == 0 || ride.objectID <= *query.objectIDAfter))
        return false;
    if (query.dateFrom && !(ride.date >= *query.dateFrom)) return false;
    if (query.dateBefore && !(ride.date < *query.dateBefore)) return false;
    return true;
}

void sortByQuery(std::vector<RideRef>& rides, RideQuery::Order order) {
    if (order == RideQuery::Order::none) return;
    bool ascending = order == RideQuery::Order::dateAscending;
    std::stable_sort(rides.begin(), rides.end(), [ascending](const RideRef& a, const RideRef& b) {
        return ascending ? a->date < b->date : a->date > b->date;
    });
}

RideQuery liveQuery(bool withDetails) {
    RideQuery query;
    query.liveOnly = true;
    query.withDetails = withDetails;
    return query;
}

RideQuery inYear(RideQuery query, int year) {
    query.dateFrom = startOfLocalYear(year);
    query.dateBefore = startOfLocalYear(year + 1);
    return query;
}

RideQuery newestOrOldest(RideQuery query, RideQuery::Order order) {
    query.order = order;
    query.limit = 1;
    return query;
}

bool contains(const std::vector<RideRef>& rides, const RideRef& ride) {
    return std::find(rides.begin(), rides.end(), ride) != rides.end();
}

}  // namespace

struct RideStore::Impl {
    std::filesystem::path location;
    std::unique_ptr<StoreBackend> backend;
    std::shared_ptr<Registry> registry = std::make_shared<Registry>();
    std::vector<RideRef> pendingInserts;
    std::vector<RideRef> pendingRemovals;
    /// A save failed after its commit was sent: what it wrote may be stored after all.
    bool outcomeUnknown = false;

    RideRef materialize(std::int64_t rowID, const StoreBackend::RowReader& read, bool withDetails);
    void loadDetails(PersistedRide& ride, Entry& entry);
    std::vector<RideRef> fetchStored(const RideQuery& query, bool applyLimit);
    bool hasPending() const { return !pendingInserts.empty() || !pendingRemovals.empty(); }

    struct SaveEffects {
        std::vector<std::pair<RideRef, std::int64_t>> insertedRides;
        std::vector<std::pair<RidePhoto*, std::int64_t>> insertedPhotos;
    };
    /// Runs one save: `write` gets the new records to write and records its effects, which
    /// are applied when the transaction committed.
    void transact(const std::function<void(std::vector<RideRef>&, SaveEffects&)>& write);
    std::vector<RideRef> adoptStored(SaveEffects& effects);
    void writeChanges(SaveEffects& effects);
    void writeInsert(const RideRef& ride, SaveEffects& effects);
    std::optional<std::string> tryWriteInsert(const RideRef& ride, SaveEffects& effects);
    void updateRide(const PersistedRide& ride, const Entry& entry);
    void writePhotos(PersistedRide& ride, std::int64_t rowID, const std::vector<RidePhoto>& stored,
                     SaveEffects& effects);
    void applyEffects(SaveEffects& effects);
    std::vector<std::pair<PersistedRide*, Entry*>> heldRecords();
};

RideRef RideStore::Impl::materialize(std::int64_t rowID, const StoreBackend::RowReader& read,
                                     bool withDetails) {
    auto found = registry->entries.find(rowID);
    if (found != registry->entries.end()) {
        if (auto held = found->second.ride.lock()) {
            if (withDetails && !found->second.detailsLoaded) loadDetails(*held, found->second);
            return held;
        }
    }
    auto ride = std::make_unique<PersistedRide>();
    ride->objectID = rowID;
    read(*ride);
    if (withDetails) ride->photos = backend->readPhotos(rowID);
    Entry entry{ride.get(), {}, *ride, withDetails};
    RideRef shared(ride.release(), RetainingDeleter{registry});
    entry.ride = shared;
    registry->entries[rowID] = std::move(entry);
    return shared;
}

void RideStore::Impl::loadDetails(PersistedRide& ride, Entry& entry) {
    PersistedRide stored = entry.snapshot;
    backend->readDetails(ride.objectID, stored);
    stored.photos = backend->readPhotos(ride.objectID);
    // Fields the caller already set keep the caller's value; the rest take the stored one.
    if (ride.routeData == entry.snapshot.routeData) ride.routeData = stored.routeData;
    if (ride.heartRateData == entry.snapshot.heartRateData)
        ride.heartRateData = stored.heartRateData;
    if (ride.powerData == entry.snapshot.powerData) ride.powerData = stored.powerData;
    if (ride.preTrimBackup == entry.snapshot.preTrimBackup)
        ride.preTrimBackup = stored.preTrimBackup;
    std::vector<RidePhoto> photos = stored.photos;
    for (const auto& photo : ride.photos) {
        if (photo.objectID == 0) photos.push_back(photo);
    }
    ride.photos = std::move(photos);
    entry.snapshot.routeData = stored.routeData;
    entry.snapshot.heartRateData = stored.heartRateData;
    entry.snapshot.powerData = stored.powerData;
    entry.snapshot.preTrimBackup = stored.preTrimBackup;
    entry.snapshot.photos = stored.photos;
    entry.detailsLoaded = true;
}

std::vector<RideRef> RideStore::Impl::fetchStored(const RideQuery& query, bool applyLimit) {
    std::vector<RideRef> rides;
    backend->fetchRows(query, applyLimit,
                       [&](std::int64_t rowID, const StoreBackend::RowReader& read) {
                           rides.push_back(materialize(rowID, read, query.withDetails));
                       });
    return rides;
}

std::vector<std::pair<PersistedRide*, Entry*>> RideStore::Impl::heldRecords() {
    std::vector<std::pair<PersistedRide*, Entry*>> held;
    for (auto& [rowID, entry] : registry->entries) {
        if (!entry.ride.expired()) held.emplace_back(entry.object, &entry);
    }
    return held;
}

void RideStore::Impl::updateRide(const PersistedRide& ride, const Entry& entry) {
    std::vector<std::size_t> changed;
    auto columns = rideColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].same(ride, entry.snapshot)) changed.push_back(i);
    }
    if (!changed.empty()) backend->updateRide(ride, changed);
}

void RideStore::Impl::writePhotos(PersistedRide& ride, std::int64_t rowID,
                                  const std::vector<RidePhoto>& stored, SaveEffects& effects) {
    // New photos that a save with an unanswered commit may have stored already.
    std::vector<RidePhoto> maybeStored;
    if (outcomeUnknown) maybeStored = backend->readPhotos(rowID);
    for (const auto& old : stored) {
        auto kept = std::find_if(ride.photos.begin(), ride.photos.end(),
                                 [&](const RidePhoto& p) { return p.objectID == old.objectID; });
        if (kept == ride.photos.end()) {
            backend->deletePhoto(old.objectID);
        } else if (!(*kept == old)) {
            backend->updatePhoto(*kept);
        }
    }
    for (auto& photo : ride.photos) {
        if (photo.objectID != 0) continue;
        auto found = std::find_if(maybeStored.begin(), maybeStored.end(),
                                  [&](const RidePhoto& p) { return p.photoID == photo.photoID; });
        std::int64_t photoRowID =
            found != maybeStored.end() ? found->objectID : backend->insertPhoto(photo, rowID);
        effects.insertedPhotos.emplace_back(&photo, photoRowID);
    }
}

void RideStore::Impl::transact(
    const std::function<void(std::vector<RideRef>&, SaveEffects&)>& write) {
    SaveEffects effects;
    try {
        backend->inTransaction([&] {
            effects = {};
            if (!pendingInserts.empty()) backend->lockForInserts();
            std::vector<RideRef> inserts = outcomeUnknown ? adoptStored(effects) : pendingInserts;
            write(inserts, effects);
        });
    } catch (const StoreError&) {
        // Until a save succeeds, each one checks for what the unanswered one may have stored.
        if (backend->commitOutcomeUnknown()) outcomeUnknown = true;
        throw;
    }
    outcomeUnknown = false;
    applyEffects(effects);
}

// After a commit whose answer was lost, the new records whose rideID the store holds were
// stored by it: they take that row (and their photos theirs) instead of being written twice.
// Returns the records still to be written.
std::vector<RideRef> RideStore::Impl::adoptStored(SaveEffects& effects) {
    std::vector<RideRef> toWrite;
    for (const auto& ride : pendingInserts) {
        auto rowID = backend->rowIDOfRideID(ride->rideID);
        if (!rowID) {
            toWrite.push_back(ride);
            continue;
        }
        effects.insertedRides.emplace_back(ride, *rowID);
        writePhotos(*ride, *rowID, {}, effects);
    }
    return toWrite;
}

void RideStore::Impl::writeInsert(const RideRef& ride, SaveEffects& effects) {
    std::int64_t rowID = backend->insertRide(*ride);
    effects.insertedRides.emplace_back(ride, rowID);
    writePhotos(*ride, rowID, {}, effects);
}

std::optional<std::string> RideStore::Impl::tryWriteInsert(const RideRef& ride,
                                                           SaveEffects& effects) {
    std::size_t rides = effects.insertedRides.size();
    std::size_t photos = effects.insertedPhotos.size();
    auto refused = backend->tryAlone([&] { writeInsert(ride, effects); });
    if (refused) {
        effects.insertedRides.resize(rides);
        effects.insertedPhotos.resize(photos);
    }
    return refused;
}

void RideStore::Impl::writeChanges(SaveEffects& effects) {
    for (const auto& ride : pendingRemovals) backend->deleteRide(ride->objectID);
    for (auto& [ride, entry] : heldRecords()) {
        if (contains(pendingRemovals, entry->ride.lock())) continue;
        updateRide(*ride, *entry);
        if (photosChanged(*ride, entry->snapshot))
            writePhotos(*ride, ride->objectID, entry->snapshot.photos, effects);
    }
}

void RideStore::Impl::applyEffects(SaveEffects& effects) {
    for (auto& [photo, rowID] : effects.insertedPhotos) photo->objectID = rowID;
    for (auto& [ride, entry] : heldRecords()) {
        entry->snapshot = *ride;
    }
    for (const auto& ride : pendingRemovals) {
        auto found = registry->entries.find(ride->objectID);
        if (found != registry->entries.end() && found->second.object == ride.get())
            registry->entries.erase(found);
        ride->objectID = 0;
    }
    for (auto& [ride, rowID] : effects.insertedRides) {
        ride->objectID = rowID;
        registry->entries[rowID] = Entry{ride.get(), ride, *ride, true};
    }
    pendingInserts.clear();
    pendingRemovals.clear();
    // Dropping a retained record runs its deleter, which looks the record up in the registry
    // and may retain it again; so the list is emptied first and the records die afterwards.
    auto released = std::move(registry->retained);
    registry->retained.clear();
    // Records the caller made itself (inserts) have no retaining deleter; once nobody holds
    // them their snapshots must go, or a bulk import would keep a copy of every record.
    std::erase_if(registry->entries, [](const auto& item) { return item.second.ride.expired(); });
}

RideStore::RideStore(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

RideStore::~RideStore() = default;

std::unique_ptr<RideStore> RideStore::open(const std::filesystem::path& location) {
    auto impl = std::make_unique<Impl>();
    impl->location = location;
    if (isServerLocation(location.string())) {
        impl->backend = openServerBackend(location.string());
    } else {
        impl->backend = SqliteStoreBackend::open(location);
    }
    return std::unique_ptr<RideStore>(new RideStore(std::move(impl)));
}

const std::vector<RenamedTwin>& RideStore::renamedTwins() const {
    return m_impl->backend->renamedTwins();
}

const std::filesystem::path& RideStore::path() const {
    return m_impl->location;
}

std::string RideStore::describe() const {
    return m_impl->backend->describe();
}

StoreBackend& RideStore::backend() const {
    return *m_impl->backend;
}

std::vector<RideRef> RideStore::fetch(const RideQuery& query) {
    if (!m_impl->hasPending()) return m_impl->fetchStored(query, true);
    auto rides = m_impl->fetchStored(query, false);
    std::erase_if(rides,
                  [&](const RideRef& ride) { return contains(m_impl->pendingRemovals, ride); });
    for (const auto& ride : m_impl->pendingInserts) {
        if (matches(query, *ride)) rides.push_back(ride);
    }
    sortByQuery(rides, query.order);
    if (query.limit && static_cast<std::int64_t>(rides.size()) > *query.limit)
        rides.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, *query.limit)));
    return rides;
}

void RideStore::visit(const RideQuery& query,
                      const std::function<void(const PersistedRide&)>& visit) {
    m_impl->backend->fetchRows(query, true,
                               [&](std::int64_t rowID, const StoreBackend::RowReader& read) {
                                   PersistedRide ride;
                                   ride.objectID = rowID;
                                   read(ride);
                                   visit(ride);
                               });
}

std::int64_t RideStore::count(const RideQuery& query) {
    std::int64_t total = m_impl->backend->countRows(query);
    for (const auto& ride : m_impl->pendingInserts) total += matches(query, *ride) ? 1 : 0;
    for (const auto& ride : m_impl->pendingRemovals) total -= matches(query, *ride) ? 1 : 0;
    return std::max<std::int64_t>(0, total);
}

void RideStore::loadDetails(const RideRef& ride) {
    if (!ride || ride->objectID == 0) return;
    auto found = m_impl->registry->entries.find(ride->objectID);
    if (found == m_impl->registry->entries.end() || found->second.object != ride.get()) return;
    if (!found->second.detailsLoaded) m_impl->loadDetails(*ride, found->second);
}

RideRef RideStore::fetchByRideID(const Uuid& rideID) {
    for (const auto& ride : m_impl->pendingInserts) {
        if (ride->rideID == rideID && !ride->deletedAt) return ride;
    }
    RideRef found;
    m_impl->backend->fetchLiveByRideID(
        rideID, [&](std::int64_t rowID, const StoreBackend::RowReader& read) {
            if (found) return;
            auto ride = m_impl->materialize(rowID, read, true);
            if (!contains(m_impl->pendingRemovals, ride)) found = ride;
        });
    return found;
}

std::optional<Bytes> RideStore::storedRouteData(std::int64_t objectID) {
    return m_impl->backend->readRouteData(objectID);
}

StoredSeries RideStore::storedSeries(std::int64_t objectID) {
    return m_impl->backend->readSeries(objectID);
}

std::vector<ActivitySummary> RideStore::liveSummaries() {
    return m_impl->backend->readLiveSummaries();
}

void RideStore::insert(const RideRef& ride) {
    if (!ride) return;
    auto& removals = m_impl->pendingRemovals;
    if (contains(removals, ride)) {
        std::erase(removals, ride);
        return;
    }
    if (ride->objectID != 0 || contains(m_impl->pendingInserts, ride)) return;
    m_impl->pendingInserts.push_back(ride);
}

void RideStore::remove(const RideRef& ride) {
    if (!ride) return;
    if (contains(m_impl->pendingInserts, ride)) {
        std::erase(m_impl->pendingInserts, ride);
        return;
    }
    if (ride->objectID != 0 && !contains(m_impl->pendingRemovals, ride))
        m_impl->pendingRemovals.push_back(ride);
}

void RideStore::save() {
    m_impl->transact([&](std::vector<RideRef>& inserts, Impl::SaveEffects& effects) {
        m_impl->writeChanges(effects);
        for (const auto& ride : inserts) m_impl->writeInsert(ride, effects);
    });
}

std::vector<RideStore::UnwritableRecord> RideStore::saveDroppingUnwritable(
    const NewRecordFilter& filter) {
    std::vector<UnwritableRecord> dropped;
    m_impl->transact([&](std::vector<RideRef>& inserts, Impl::SaveEffects& effects) {
        dropped.clear();
        if (filter) {
            for (const auto& ride : filter(inserts)) {
                std::erase(inserts, ride);
                std::erase(m_impl->pendingInserts, ride);
            }
        }
        m_impl->writeChanges(effects);
        for (const auto& ride : inserts) {
            if (auto reason = m_impl->tryWriteInsert(ride, effects))
                dropped.push_back({ride, std::move(*reason)});
        }
    });
    return dropped;
}

void RideStore::deleteSaved(const std::vector<std::int64_t>& objectIDs,
                            const DeletionProgress& progress) {
    std::span<const std::int64_t> all(objectIDs);
    m_impl->backend->inTransaction([&] {
        for (std::size_t done = 0; done < all.size();) {
            auto batch = all.subspan(done, std::min(kDeletionBatch, all.size() - done));
            m_impl->backend->deleteRides(batch);
            done += batch.size();
            if (progress) progress(done, all.size());
        }
    });
    forgetDeleted(objectIDs);
}

void RideStore::forgetDeleted(const std::vector<std::int64_t>& objectIDs) {
    std::unordered_set<std::int64_t> gone(objectIDs.begin(), objectIDs.end());
    std::erase_if(m_impl->pendingRemovals,
                  [&](const RideRef& ride) { return gone.contains(ride->objectID); });
    auto& entries = m_impl->registry->entries;
    for (std::int64_t objectID : gone) {
        auto found = entries.find(objectID);
        if (found == entries.end()) continue;
        if (auto held = found->second.ride.lock()) held->objectID = 0;
        entries.erase(found);
    }
    // Records kept for their unsaved changes have nothing left to save; they die outside the
    // list, since their deleters look at it.
    std::vector<RideRef> released;
    auto& retained = m_impl->registry->retained;
    auto kept = std::partition(retained.begin(), retained.end(),
                               [](const RideRef& ride) { return ride->objectID != 0; });
    std::move(kept, retained.end(), std::back_inserter(released));
    retained.erase(kept, retained.end());
}

bool RideStore::autosave() {
    try {
        if (hasChanges()) save();
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

bool RideStore::hasChanges() const {
    if (m_impl->hasPending()) return true;
    for (auto& [ride, entry] : m_impl->heldRecords()) {
        if (isDirty(*ride, *entry)) return true;
    }
    return false;
}

void RideStore::refreshAll() {
    m_impl->pendingInserts.clear();
    m_impl->pendingRemovals.clear();
    for (auto& [ride, entry] : m_impl->heldRecords()) {
        if (!m_impl->backend->readRow(ride->objectID, entry->detailsLoaded, *ride)) continue;
        if (entry->detailsLoaded) ride->photos = m_impl->backend->readPhotos(ride->objectID);
        entry->snapshot = *ride;
    }
    // As after a save: empty the list before the released records' deleters run.
    auto released = std::move(m_impl->registry->retained);
    m_impl->registry->retained.clear();
}

std::int64_t RideStore::dataVersion() {
    return m_impl->backend->dataVersion();
}

namespace {

// Pending changes are not in the database, and an absurd span of years is better walked.
std::optional<std::vector<YearSummary>> summariesInOnePass(RideStore::Impl& store, int firstYear,
                                                           int lastYear) {
    if (store.hasPending() || lastYear - firstYear > kMostYearsInOnePass) return std::nullopt;
    std::vector<Date> boundaries;
    for (int year = firstYear; year <= lastYear + 1; ++year)
        boundaries.push_back(startOfLocalYear(year));
    std::optional<std::vector<std::int64_t>> counts;
    try {
        counts = store.backend->countLiveInPeriods(boundaries);
    } catch (const StoreError&) {
        return std::nullopt;
    }
    if (!counts) return std::nullopt;
    std::vector<YearSummary> summaries;
    for (int year = lastYear; year >= firstYear; --year) {
        auto count = (*counts)[static_cast<std::size_t>(year - firstYear)];
        if (count > 0) summaries.push_back({year, count});
    }
    return summaries;
}

}  // namespace

std::vector<YearSummary> RideStore::yearSummaries() {
    std::vector<RideRef> oldest, newest;
    try {
        oldest = fetch(newestOrOldest(liveQuery(false), RideQuery::Order::dateAscending));
        newest = fetch(newestOrOldest(liveQuery(false), RideQuery::Order::dateDescending));
    } catch (const StoreError&) {
        return {};
    }
    if (oldest.empty() || newest.empty()) return {};
    // A device with a wrong clock dates activities in the future; they must still be listed.
    int year = std::max(localYear(now()), localYear(newest.front()->date));
    int firstYear = localYear(oldest.front()->date);
    if (auto counted = summariesInOnePass(*m_impl, firstYear, year)) return *counted;
    std::vector<YearSummary> summaries;
    int failedSteps = 0;
    while (year >= firstYear && failedSteps < kMostBlindYearSteps) {
        // A year that cannot be counted is left out; the older ones are still listed.
        try {
            if (auto count = this->count(inYear(liveQuery(false), year)); count > 0)
                summaries.push_back({year, count});
        } catch (const StoreError&) {
        }
        auto next = nextOlderYear(year);
        failedSteps = next ? 0 : failedSteps + 1;
        year = next.value_or(year - 1);
    }
    return summaries;
}

// The next older year that has an activity (the minimum of int when there is none), or nothing
// when the store cannot tell.
std::optional<int> RideStore::nextOlderYear(int year) {
    RideQuery older = liveQuery(false);
    older.dateBefore = startOfLocalYear(year);
    try {
        auto next = fetch(newestOrOldest(older, RideQuery::Order::dateDescending));
        if (next.empty()) return std::numeric_limits<int>::min();
        return std::min(year - 1, localYear(next.front()->date));
    } catch (const StoreError&) {
        return std::nullopt;
    }
}

std::vector<RideRef> RideStore::activitiesOfYear(int year, bool withDetails) {
    RideQuery query = inYear(liveQuery(withDetails), year);
    query.order = RideQuery::Order::dateDescending;
    try {
        return fetch(query);
    } catch (const StoreError&) {
        return {};
    }
}

std::vector<RideRef> RideStore::allLiveActivities(bool withDetails) {
    return fetch(liveQuery(withDetails));
}

std::vector<RideRef> RideStore::allRecords(bool withDetails) {
    RideQuery query;
    query.withDetails = withDetails;
    return fetch(query);
}

std::vector<RideRef> RideStore::activitiesToLocate(bool missingCityOnly, std::optional<int> year) {
    RideQuery query = liveQuery(false);
    query.cityMissingOnly = missingCityOnly;
    query.order = RideQuery::Order::dateDescending;
    return fetch(year ? inYear(query, *year) : query);
}

}  // namespace vantrel
