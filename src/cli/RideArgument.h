#pragma once

#include <string_view>

#include "cli/CliContext.h"

namespace vantrel::cli {

/// The one remaining argument as the rideID of a live activity in the store. Throws UsageError
/// when there is not exactly one argument, it is not an ID or no activity has it.
RideRef fetchRideArgument(CliContext& ctx, std::string_view command);

}  // namespace vantrel::cli
