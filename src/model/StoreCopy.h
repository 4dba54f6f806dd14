#pragma once

#include <functional>

#include "model/RideStore.h"

namespace vantrel {

struct StoreCopyResult {
    int copied = 0;
    /// Records left out because the target already had them (merging only).
    int skipped = 0;
};

/// Copies every record with its photos, deleted ones too, from `source` into `target`, saving
/// in batches so that memory stays bounded, then checks that the target gained exactly the
/// copied records and that their byte fields and photos match the source (a checksum). With
/// `merge`, records the target already has are skipped: those with a rideID it holds, and
/// those the imports' duplicate rule finds among its records (`isDuplicateActivity`); without
/// it the caller makes sure the target is empty. `progress(done, total)` follows the copy. Throws
/// `StoreError` when a store fails or the check finds a difference.
StoreCopyResult copyStore(RideStore& source, RideStore& target, bool merge,
                          const std::function<void(int, int)>& progress = {});

}  // namespace vantrel
