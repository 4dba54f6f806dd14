#include <ostream>

#include "cli/BulkImportOutput.h"
#include "cli/Commands.h"
#include "import/GarminImportService.h"

namespace vantrel::cli {

namespace {

int refuse(CliContext& ctx, const char* title, const char* text) {
    ctx.err << title << ": " << text << "\n";
    return 1;
}

}  // namespace

int runImportGarmin(CliContext& ctx) {
    BulkImportOutput output(ctx);
    bool replace = ctx.takeFlag("--replace");
    bool yes = ctx.takeFlag("--yes");
    BulkImportOptions options = output.takeOptions();
    ctx.rejectUnknownOptions();
    if (ctx.args.size() != 1) throw UsageError("import-garmin needs exactly one export folder");
    GarminFolders folders = locateGarminFolders(ctx.args.front());
    if (!folders.uploadsFolder) return refuse(ctx, kGarminNotFoundTitle, kGarminNotFoundText);
    auto archives = listGarminArchives(*folders.uploadsFolder);
    if (archives.empty()) return refuse(ctx, kGarminNoArchivesTitle, kGarminNoArchivesText);
    auto summaries = folders.fitnessFolder ? loadGarminActivities(*folders.fitnessFolder)
                                           : std::vector<GarminActivity>{};
    ctx.out << kGarminConfirmationTitle << "\n"
            << garminConfirmationText(archives.size(), summaries.size()) << "\n"
            << (replace ? "Existing activities that the new ones duplicate will be replaced.\n"
                        : "")
            << std::flush;
    if (!yes && !ctx.interactive) {
        ctx.err << "vantrel-cli: no terminal to ask on; add --yes to import\n";
        return 1;
    }
    if (!yes && !ctx.confirm(replace ? "Import, replacing existing activities?" : "Import?")) {
        return 0;
    }
    return output.report(importGarminExport(ctx.store(), archives, summaries, replace, options));
}

}  // namespace vantrel::cli
