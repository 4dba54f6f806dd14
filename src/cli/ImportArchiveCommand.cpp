// vantrel-cli import-archive FILE...
#include <ostream>

#include "archive/ArchiveImport.h"
#include "cli/Commands.h"
#include "cli/ExportSelection.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

int runImportArchive(CliContext& ctx) {
    ctx.rejectUnknownOptions();
    if (ctx.args.empty()) throw UsageError("import-archive needs at least one archive file");
    std::vector<std::filesystem::path> files(ctx.args.begin(), ctx.args.end());
    ProgressLine line(ctx.err, ctx.interactive);
    auto result = importArchiveFiles(ctx.store(), files, progressDrawer(line, "Importing"));
    line.finish();
    for (const auto& failure : result.failures) {
        ctx.err << terminalText(failure.fileName) << ": " << terminalText(failure.description)
                << "\n";
    }
    if (result.saveError) {
        ctx.err << "vantrel-cli: the imported activities could not be saved: "
                << terminalText(*result.saveError) << "\n";
        return 2;
    }
    ctx.out << "Imported " << result.imported
            << (result.imported == 1 ? " activity" : " activities") << ". Skipped "
            << result.skipped << (result.skipped == 1 ? " duplicate" : " duplicates") << ".\n";
    return result.failures.empty() ? 0 : 1;
}

}  // namespace vantrel::cli
