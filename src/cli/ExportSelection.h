#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliContext.h"
#include "cli/ProgressLine.h"

namespace vantrel::cli {

/// Every remaining argument as the rideID of a live activity, in the order given. Throws
/// UsageError for an argument that is not an ID or names no activity.
std::vector<RideRef> fetchRideArguments(CliContext& ctx);
/// The value of "--year" as a calendar year; UsageError when it is not one.
std::optional<int> takeYearOption(CliContext& ctx);
/// "1 activity", "2 activities".
std::string countedActivities(int count);
/// `file`, or `file`/`proposedName` when `file` is an existing folder.
std::filesystem::path outputFile(const std::filesystem::path& file,
                                 const std::string& proposedName);
/// A progress function drawing "VERB done of total…" on the line.
std::function<void(int, int)> progressDrawer(ProgressLine& line, const std::string& verb);

}  // namespace vantrel::cli
