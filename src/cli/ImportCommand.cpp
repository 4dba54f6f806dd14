// vantrel-cli import [--source LABEL] FILE...: the loose-file import of the application.
#include <filesystem>
#include <ostream>

#include "cli/Commands.h"
#include "cli/TerminalFailures.h"
#include "import/ActivityImporter.h"
#include "import/ImportSummary.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

int runImport(CliContext& ctx) {
    std::optional<std::string> label = ctx.takeOption("--source");
    ctx.rejectUnknownOptions();
    std::vector<std::filesystem::path> files(ctx.args.begin(), ctx.args.end());
    if (files.empty()) {
        ctx.out << "Imported 0 activities\n";
        return 0;
    }
    FileListImportResult result = importFileList(ctx.store(), files, label);
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

}  // namespace vantrel::cli
