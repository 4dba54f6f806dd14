#pragma once

#include <ostream>

namespace vantrel {

class PersistentLogger;
class RideStore;

/// Tells of the records that opening an older store gave a fresh rideID (see
/// `RideStore::renamedTwins`): one WARN line per record in `logger`, and one line on `err` for
/// them all. Says nothing when there are none.
void reportRenamedTwins(const RideStore& store, PersistentLogger& logger, std::ostream& err);

}  // namespace vantrel
