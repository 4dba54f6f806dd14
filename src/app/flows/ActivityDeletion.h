#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "model/PersistedRide.h"

class QWidget;

namespace vantrel {

class ProgressRow;
class RideStore;

/// Deleting single activities from the list, as "Delete All Activities…" does for all: the
/// record goes with its photos, after a confirmation that names what goes.
namespace ActivityDeletion {

/// The confirmation's title and text: one activity is named by its date and time.
QString confirmationTitle(const std::vector<RideRef>& rides);
QString confirmationText(const std::vector<RideRef>& rides);

/// Asks, then deletes `rides` with their photos in one transaction, off the main thread on a
/// store connection of its own, showing the count in `progress` (shown only meanwhile). Calls
/// `done` with true when they were deleted (`store` no longer holds them) and with false when
/// the user declined or the deletion failed: that is reported in an alert and deletes nothing.
void confirmAndDelete(QWidget* parent, RideStore& store, const std::vector<RideRef>& rides,
                      ProgressRow* progress, const std::function<void(bool deleted)>& done);

}  // namespace ActivityDeletion

}  // namespace vantrel
