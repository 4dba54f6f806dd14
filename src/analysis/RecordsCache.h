#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/PersonalRecords.h"
#include "model/Bytes.h"
#include "model/Cancellation.h"

namespace vantrel {

class RideStore;

/// The route and power bests of every activity of one store, kept in an SQLite file of their own
/// so that a history's records decode each series once. Entries are keyed by `rideID` and the
/// series mark the store keeps: a trimmed, restored or re-imported activity has another mark
/// and is measured again, an unchanged one is not even read, and entries of activities no longer in
/// the store are dropped at the next update, so no editing flow has to tell the cache anything. The
/// file holds nothing that cannot be rebuilt: a missing, damaged or foreign file is started afresh,
/// never an error.
///
/// Not thread-safe: use it from one thread at a time.
class RecordsCache {
  public:
    /// The cache file of the store at `storeLocation`: cacheFolder()/records-HASH.sqlite, HASH
    /// being that of the absolute location, so that two stores never share entries.
    static std::filesystem::path fileFor(const std::filesystem::path& storeLocation);
    /// Opens or creates the file (and its folder). Falls back to a cache in memory when the
    /// file cannot be made; never throws.
    explicit RecordsCache(std::filesystem::path file);
    ~RecordsCache();
    RecordsCache(const RecordsCache&) = delete;
    RecordsCache& operator=(const RecordsCache&) = delete;

    /// Called after each activity with the number done and the number of live activities.
    using Progress = std::function<void(std::size_t done, std::size_t total)>;

    /// Brings the entries up to date with the live activities of `store` (measuring the routes
    /// that are new or changed, dropping entries nothing refers to) and returns what the
    /// records are chosen from. Absent when cancelled; what was measured until then is kept.
    /// Throws `StoreError` when the store cannot be read.
    std::optional<std::vector<PersonalRecords::ActivityBests>> update(
        RideStore& store, const Progress& progress = {},
        const CancellationToken* cancellation = nullptr);

    /// Number of routes measured (not found in the cache) by the last `update`.
    std::size_t measuredByLastUpdate() const;
    /// False when the cache works in memory because its file could not be used.
    bool persistent() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrel
