#include <ostream>

#include "cli/Commands.h"
#include "cli/RideArgument.h"
#include "services/RideTrimService.h"

namespace vantrel::cli {

namespace {

std::string whyNoUndo(const PersistedRide& ride) {
    if (!ride.trimmedAt) return "this activity has not been trimmed";
    if (!ride.preTrimBackup) return "the last trim can no longer be undone";
    return "the last trim is 30 days old or more and can no longer be undone";
}

}  // namespace

int runUndoTrim(CliContext& ctx) {
    ctx.rejectUnknownOptions();
    RideRef ride = fetchRideArgument(ctx, "undo-trim");
    Date current = now();
    if (!RideTrimService::canUndoTrim(*ride, current)) {
        ctx.err << "vantrel-cli: " << whyNoUndo(*ride) << '\n';
        return 1;
    }
    if (!RideTrimService::undoTrim(*ride, current)) {
        ctx.err << "vantrel-cli: the backup of the last trim cannot be read; nothing was "
                   "restored\n";
        return 1;
    }
    ctx.store().save();
    ctx.out << "Restored the activity as it was before the last trim.\n";
    return 0;
}

}  // namespace vantrel::cli
