// vantrel-cli export-gpx ID -o FILE | (--all | --year Y | ID...) --to DIR
#include <ostream>

#include "cli/Commands.h"
#include "cli/ExportSelection.h"
#include "cli/RideArgument.h"
#include "export/ExportFileNames.h"
#include "export/FileAccessError.h"
#include "export/GpxFolderExport.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

namespace {

int exportOne(CliContext& ctx, const std::filesystem::path& file) {
    RideRef ride = fetchRideArgument(ctx, "export-gpx -o");
    try {
        exportGpxFile(ctx.store(), ride, outputFile(file, gpxBaseName(ride->date) + ".gpx"));
    } catch (const FileAccessError& error) {
        ctx.err << "vantrel-cli: " << terminalText(error.what()) << "\n";
        return 1;
    }
    ctx.out << "Exported 1 activity.\n";
    return 0;
}

std::vector<RideRef> selectedRides(CliContext& ctx, bool all, std::optional<int> year) {
    if (int(all) + int(year.has_value()) + int(!ctx.args.empty()) != 1) {
        throw UsageError("export-gpx --to needs exactly one of --all, --year Y or activity IDs");
    }
    if (all) return ctx.store().allLiveActivities(false);
    if (year) return ctx.store().activitiesOfYear(*year, false);
    return fetchRideArguments(ctx);
}

int exportToFolder(CliContext& ctx, const std::filesystem::path& folder,
                   std::vector<RideRef> rides) {
    if (rides.empty()) {
        ctx.out << "No activities to export.\n";
        return 0;
    }
    ProgressLine line(ctx.err, ctx.interactive);
    auto result = exportGpxToFolder(ctx.store(), std::move(rides), folder, ctx.logger(),
                                    progressDrawer(line, "Exporting"));
    line.finish();
    if (result.failed > 0) {
        ctx.err << "vantrel-cli: " << countedActivities(result.failed)
                << " could not be written: " << terminalText(result.firstFailure) << "\n";
    }
    ctx.out << "Exported " << countedActivities(result.written) << ".\n";
    return result.failed > 0 ? 1 : 0;
}

}  // namespace

int runExportGpx(CliContext& ctx) {
    auto file = ctx.takeOption("-o");
    auto folder = ctx.takeOption("--to");
    bool all = ctx.takeFlag("--all");
    auto year = takeYearOption(ctx);
    ctx.rejectUnknownOptions();
    if (file.has_value() == folder.has_value()) {
        throw UsageError("export-gpx needs either -o FILE or --to DIR");
    }
    if (file) {
        if (all || year) throw UsageError("export-gpx -o writes one activity; use --to DIR");
        return exportOne(ctx, *file);
    }
    return exportToFolder(ctx, *folder, selectedRides(ctx, all, year));
}

}  // namespace vantrel::cli
