#pragma once

#include <optional>
#include <string>

#include "model/Samples.h"

namespace vantrel {

/// What one run of adding picked photos did.
struct PhotoAddResult {
    int added = 0;
    /// Items left out because the activity reached its photo limit.
    int ignoredOverLimit = 0;
    /// The last error message of the run.
    std::optional<std::string> importError;
    /// A second line under `importError` when a photo could not be processed: its label and
    /// the reason ("IMG_1.jpg: not a photo format").
    std::optional<std::string> importErrorDetail;
    /// The first photo position, offered when the activity has no recorded route.
    std::optional<CodableCoordinate> suggestedLocation;
};

}  // namespace vantrel
