#include "analysis/RecordsFill.h"

#include <string>

namespace vantrel {

std::optional<std::vector<PersonalRecords::ActivityBests>> fillRecords(
    RecordsCache& cache, RideStore& store, PersistentLogger& logger,
    const RecordsCache::Progress& progress, const CancellationToken* cancellation) {
    auto activities = cache.update(store, progress, cancellation);
    if (!activities) return activities;
    std::size_t skipped = PersonalRecords::impossibleBestCount(*activities);
    if (skipped > 0) {
        logger.log(LogLevel::warn, "Records",
                   "Skipped " + std::to_string(skipped) + " best effort" +
                       (skipped == 1 ? "" : "s") +
                       " faster than a person can go; the activities may have the wrong kind");
    }
    return activities;
}

}  // namespace vantrel
