// vantrel-cli export-archive (ID... | --year Y) -o FILE | --all --to DIR
#include <ostream>

#include "archive/ArchiveExport.h"
#include "cli/Commands.h"
#include "cli/ExportSelection.h"
#include "export/ExportFileNames.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

namespace {

int report(CliContext& ctx, const ArchiveExportResult& result) {
    if (result.failure) {
        ctx.err << "vantrel-cli: Vantrel Format export failed: " << terminalText(*result.failure)
                << "\n";
        std::string files = yearFilesText(result.yearFiles);
        if (!files.empty()) ctx.err << "vantrel-cli: " << files << "\n";
        return 1;
    }
    for (const auto& reason : result.skipped)
        ctx.err << "vantrel-cli: " << terminalText(reason) << "\n";
    ctx.out << "Exported " << countedActivities(result.exported) << ".";
    int skipped = static_cast<int>(result.skipped.size());
    if (skipped > 0) {
        ctx.out << " Skipped " << countedActivities(skipped) << " whose date cannot be written.";
    }
    ctx.out << "\n";
    // Like the bulk imports: a partial export succeeds, one that wrote nothing it was asked
    // for does not.
    return skipped > 0 && result.exported == 0 ? 1 : 0;
}

int exportAll(CliContext& ctx, const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw UsageError("cannot create " + folder.string() + ": " + error.message());
    ProgressLine line(ctx.err, ctx.interactive);
    auto result = exportArchiveYearFiles(ctx.store(), folder, ctx.logger(),
                                         progressDrawer(line, "Exporting"));
    line.finish();
    return report(ctx, result);
}

int exportToFile(CliContext& ctx, const std::filesystem::path& file, std::optional<int> year) {
    if (year.has_value() == !ctx.args.empty()) {
        throw UsageError("export-archive -o needs either --year Y or activity IDs");
    }
    std::vector<RideRef> rides =
        year ? ctx.store().activitiesOfYear(*year, false) : fetchRideArguments(ctx);
    if (rides.empty()) {
        ctx.out << "No activities to export.\n";
        return 0;
    }
    std::string proposed =
        year ? archiveYearFileName(*year) : archiveSelectionFileName(rides, now());
    ProgressLine line(ctx.err, ctx.interactive);
    auto result = exportArchiveToFile(ctx.store(), std::move(rides), outputFile(file, proposed),
                                      ctx.logger(), progressDrawer(line, "Exporting"));
    line.finish();
    return report(ctx, result);
}

}  // namespace

int runExportArchive(CliContext& ctx) {
    auto file = ctx.takeOption("-o");
    auto folder = ctx.takeOption("--to");
    bool all = ctx.takeFlag("--all");
    auto year = takeYearOption(ctx);
    ctx.rejectUnknownOptions();
    if (all) {
        if (!folder || file || year || !ctx.args.empty()) {
            throw UsageError("export-archive --all needs --to DIR and nothing else");
        }
        return exportAll(ctx, *folder);
    }
    if (!file || folder) throw UsageError("export-archive needs -o FILE (or --all --to DIR)");
    return exportToFile(ctx, *file, year);
}

}  // namespace vantrel::cli
