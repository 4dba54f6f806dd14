#pragma once

#include <optional>
#include <vector>

#include "analysis/PersonalRecords.h"
#include "analysis/RecordsCache.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

/// `RecordsCache::update`, as the records views run it: when the fill completes and some route
/// bests are too fast to be records (`PersonalRecords::isPossible`), logs their number once,
/// so that the activities of the wrong kind behind them can be found. Throws as `update` does.
std::optional<std::vector<PersonalRecords::ActivityBests>> fillRecords(
    RecordsCache& cache, RideStore& store, PersistentLogger& logger,
    const RecordsCache::Progress& progress = {}, const CancellationToken* cancellation = nullptr);

}  // namespace vantrel
