// vantrel-cli import [--source LABEL] [--threads N] PATH...: the application's own way in.
#include <algorithm>
#include <filesystem>
#include <ostream>

#include "cli/BulkImportOutput.h"
#include "cli/Commands.h"
#include "cli/TerminalFailures.h"
#include "import/ActivityImporter.h"
#include "import/ImportSummary.h"
#include "import/ImportablePaths.h"
#include "import/ZipImportService.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

namespace {

int importActivityFiles(CliContext& ctx, const std::vector<std::filesystem::path>& files,
                        const std::optional<std::string>& label) {
    if (files.empty()) {
        ctx.out << "Imported 0 activities\n";
        return 0;
    }
    FileListImportResult result = importFileList(ctx.store(), files, label, ctx.logger());
    for (const auto& [name, description] : result.failures) {
        ctx.err << terminalText(name) << ": " << terminalText(description) << "\n";
    }
    if (result.saveError) {
        ctx.err << "vantrel-cli: " << terminalText(*result.saveError) << "\n";
        return 2;
    }
    ctx.out << "Imported " << result.imported
            << (result.imported == 1 ? " activity" : " activities") << "\n";
    std::string failed = failedFilesText(static_cast<int>(result.failures.size()),
                                         terminalFailures(result.failures));
    if (!failed.empty()) ctx.out << failed << "\n";
    return result.imported > 0 ? 0 : 1;
}

}  // namespace

int runImport(CliContext& ctx) {
    std::optional<std::string> label = ctx.takeOption("--source");
    BulkImportOutput zipOutput(ctx);
    BulkImportOptions zipOptions = zipOutput.takeOptions();
    ctx.rejectUnknownOptions();
    // Taken as the window takes opened and dropped paths: ZIPs, archives and folders each go to
    // their own import; activity files (and whatever else is named) to the loose-file import,
    // which reports them exactly as it always has.
    ImportablePaths sorted = ImportablePaths::sort({ctx.args.begin(), ctx.args.end()},
                                                   ImportablePaths::NamedFiles::handedOn);
    bool bundles = !sorted.zipArchives.empty() || !sorted.archives.empty();
    int status = 0;
    if (!sorted.activityFiles.empty() || !bundles)
        status = importActivityFiles(ctx, sorted.activityFiles, label);
    // A failed save ends the run: what follows would not be saved either.
    if (status < 2 && !sorted.zipArchives.empty()) {
        status = std::max(
            status, zipOutput.report(importZipArchives(ctx.store(), sorted.zipArchives,
                                                       label.value_or("ZIP Import"), zipOptions)));
    }
    if (status < 2 && !sorted.archives.empty())
        status = std::max(status, reportArchiveImport(ctx, sorted.archives));
    return status;
}

}  // namespace vantrel::cli
