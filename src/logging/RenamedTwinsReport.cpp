#include "logging/RenamedTwinsReport.h"

#include <string>

#include "logging/PersistentLogger.h"
#include "model/RideStore.h"

namespace vantrel {

void reportRenamedTwins(const RideStore& store, PersistentLogger& logger, std::ostream& err) {
    const auto& renamed = store.renamedTwins();
    if (renamed.empty()) return;
    std::string location = store.describe();
    for (const auto& twin : renamed) {
        std::string date = formatISO8601(twin.date);
        logger.log(LogLevel::warn, "Store",
                   "Store " + location + ": the activity of " + (date.empty() ? "?" : date) +
                       " (row " + std::to_string(twin.objectID) + ") had the rideID " +
                       escapedLogValue(twin.oldRideID) +
                       " of an older record; it now has the rideID " + twin.newRideID.toString());
    }
    auto count = renamed.size();
    err << "Store " << location << ": " << count << (count == 1 ? " activity" : " activities")
        << " shared a rideID with an older record and got a new one; nothing was lost (the log"
           " lists each change)\n";
}

}  // namespace vantrel
