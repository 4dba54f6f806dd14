#pragma once

#include <QString>
#include <vector>

#include "model/PersistedRide.h"

class QWidget;

namespace vantrel {

class RideStore;

/// Deleting single activities from the list, as "Delete All Activities…" does for all: the
/// record goes with its photos, after a confirmation that names what goes.
namespace ActivityDeletion {

/// The confirmation's title and text: one activity is named by its date and time.
QString confirmationTitle(const std::vector<RideRef>& rides);
QString confirmationText(const std::vector<RideRef>& rides);

/// Asks, then removes `rides` and saves. True when they were deleted; a failed save is
/// reported and leaves the store as it was.
bool confirmAndDelete(QWidget* parent, RideStore& store, const std::vector<RideRef>& rides);

}  // namespace ActivityDeletion

}  // namespace vantrel
