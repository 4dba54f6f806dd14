#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/CacheDatabase.h"
#include "analysis/HeatmapFilter.h"
#include "model/ActivitySummary.h"
#include "model/Cancellation.h"
#include "model/Date.h"
#include "model/Samples.h"
#include "model/Uuid.h"

namespace vantrel {

class RideStore;

/// One activity's line on the heatmap: its route simplified for drawing.
struct HeatmapRoute {
    Uuid rideID;
    std::optional<ActivityType> kind;
    Date date = 0;
    std::vector<CodableCoordinate> points;
};

/// $XDG_CACHE_HOME/vantrel/heatmap-<hash>.sqlite (default ~/.cache/vantrel/…), named after a
/// hash of the store's location so that every store keeps a cache of its own.
std::filesystem::path heatmapCachePath(const std::filesystem::path& storeLocation);

/// The simplified routes of a store, kept in an SQLite file of their own so that each route is
/// simplified once. Entries are keyed by `rideID` and the series mark the store keeps, and
/// checked against the store at every query (no route is read when its mark is unchanged): a
/// changed route (trim, undo) is simplified again, entries of activities no longer in the store are
/// dropped, and a missing or damaged file is built afresh. When the file cannot be written at all,
/// the cache lives in memory instead; no trouble with the file is ever an error of the query.
///
/// Not thread-safe; one object per thread (the file may be shared by several).
class HeatmapCache {
  public:
    /// Called after each activity the query looks at: (done, total).
    using Progress = std::function<void(std::size_t done, std::size_t total)>;

    explicit HeatmapCache(std::filesystem::path file);
    ~HeatmapCache();
    HeatmapCache(const HeatmapCache&) = delete;
    HeatmapCache& operator=(const HeatmapCache&) = delete;

    /// The lines of the live activities that `filter` picks, oldest first; activities without
    /// a route of two or more points have none. Absent when `cancel` was set: what was
    /// simplified by then is kept for the next query. Throws `StoreError` when the store
    /// cannot be read.
    std::optional<std::vector<HeatmapRoute>> routes(RideStore& store, const HeatmapFilter& filter,
                                                    const Progress& progress = {},
                                                    const CancellationToken* cancel = nullptr);

    /// What the last query did.
    struct Counts {
        std::size_t simplified = 0;
        std::size_t reused = 0;
        std::size_t pruned = 0;
    };
    Counts lastCounts() const { return m_counts; }
    /// False when the file could not be used and the cache lives in memory.
    bool isOnDisk() const { return m_db.onDisk(); }

  private:
    /// Fills `lines` (one per activity of `live`) with the entries of the `wanted` activities
    /// whose key is the activity's mark, the others staying absent, and drops the entries of
    /// activities not in `live`. Returns the number of activities dropped.
    std::size_t readLines(const std::vector<ActivitySummary>& live, const std::vector<bool>& wanted,
                          std::vector<std::optional<std::vector<CodableCoordinate>>>& lines);
    std::optional<std::vector<CodableCoordinate>> lookup(const Uuid& rideID, std::int64_t key);
    void remember(const Uuid& rideID, std::int64_t key,
                  const std::vector<CodableCoordinate>& points);

    CacheDatabase m_db;
    Counts m_counts;
};

}  // namespace vantrel
