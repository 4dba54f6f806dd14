#include <filesystem>
#include <ostream>

#include "cli/Commands.h"
#include "cli/ExportSelection.h"
#include "cli/ProgressLine.h"
#include "logging/PersistentLogger.h"
#include "logging/RenamedTwinsReport.h"
#include "model/StoreCopy.h"
#include "model/StoreLocation.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

int runCopyStore(CliContext& ctx) {
    auto from = ctx.takeOption("--from");
    auto to = ctx.takeOption("--to");
    bool merge = ctx.takeFlag("--merge");
    ctx.rejectUnknownOptions();
    if (!from || !to || !ctx.args.empty())
        throw UsageError("copy-store needs --from LOCATION and --to LOCATION");
    // Opening a missing file would make an empty store: a mistyped source must not copy nothing.
    std::error_code error;
    if (!isServerLocation(*from) && !std::filesystem::exists(*from, error))
        throw UsageError("no store at " + *from);
    auto source = RideStore::open(*from);
    reportRenamedTwins(*source, ctx.logger(), ctx.err);
    auto target = RideStore::open(*to);
    reportRenamedTwins(*target, ctx.logger(), ctx.err);
    RideQuery everything;
    everything.withDetails = false;
    if (auto held = target->count(everything); held > 0 && !merge)
        throw UsageError("the target store " + target->describe() + " already holds " +
                         countedActivities(static_cast<int>(held)) +
                         "; use --merge to add only the missing ones");
    ProgressLine line(ctx.err, ctx.interactive);
    auto result = copyStore(*source, *target, merge, progressDrawer(line, "Copying"));
    line.finish();
    ctx.out << "Copied " << countedActivities(result.copied) << " from "
            << terminalText(source->describe()) << " to " << terminalText(target->describe());
    if (merge) ctx.out << " (" << result.skipped << " already there)";
    ctx.out << "; counts and checksum verified\n";
    return 0;
}

}  // namespace vantrel::cli
