#include "cli/RideArgument.h"

#include <string>

namespace vantrel::cli {

RideRef fetchRideArgument(CliContext& ctx, std::string_view command) {
    if (ctx.args.size() != 1) {
        throw UsageError(std::string(command) + " needs exactly one activity ID");
    }
    auto rideID = Uuid::parse(ctx.args.front());
    if (!rideID) throw UsageError("not an activity ID: " + ctx.args.front());
    auto ride = ctx.store().fetchByRideID(*rideID);
    if (!ride) throw UsageError("no activity with ID " + rideID->toString());
    return ride;
}

}  // namespace vantrel::cli
