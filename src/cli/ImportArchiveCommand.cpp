// vantrel-cli import-archive FILE...
#include <ostream>

#include "archive/ArchiveImport.h"
#include "cli/Commands.h"
#include "cli/ExportSelection.h"
#include "cli/TerminalFailures.h"
#include "import/ImportSummary.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

int runImportArchive(CliContext& ctx) {
    ctx.rejectUnknownOptions();
    if (ctx.args.empty()) throw UsageError("import-archive needs at least one archive file");
    return reportArchiveImport(ctx, {ctx.args.begin(), ctx.args.end()});
}

int reportArchiveImport(CliContext& ctx, const std::vector<std::filesystem::path>& files) {
    ProgressLine line(ctx.err, ctx.interactive);
    auto result =
        importArchiveFiles(ctx.store(), files, ctx.logger(), progressDrawer(line, "Importing"));
    line.finish();
    for (const auto& failure : result.failures) {
        ctx.err << terminalText(failure.fileName) << ": " << terminalText(failure.description)
                << "\n";
    }
    if (result.saveError) {
        ctx.err << "vantrel-cli: the imported activities could not be saved: "
                << terminalText(*result.saveError)
                << "\nvantrel-cli: " << storedBeforeFailureText(result.saved) << "\n";
        return 2;
    }
    ImportSummary summary(result.imported, result.skipped, result.damagedSeries);
    summary.failedCount = static_cast<int>(result.failures.size());
    for (const auto& failure : result.failures)
        summary.failures.emplace_back(failure.fileName, failure.description);
    ctx.out << terminalSummaryText(summary) << "\n";
    return result.failures.empty() ? 0 : 1;
}

}  // namespace vantrel::cli
