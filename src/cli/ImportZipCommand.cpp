#include "cli/BulkImportOutput.h"
#include "cli/Commands.h"
#include "import/ZipImportService.h"

namespace vantrel::cli {

int runImportZip(CliContext& ctx) {
    BulkImportOutput output(ctx);
    std::string label = ctx.takeOption("--source").value_or("ZIP Import");
    BulkImportOptions options = output.takeOptions();
    ctx.rejectUnknownOptions();
    if (ctx.args.empty()) throw UsageError("import-zip needs at least one ZIP file");
    std::vector<std::filesystem::path> archives(ctx.args.begin(), ctx.args.end());
    return output.report(importZipArchives(ctx.store(), archives, label, options));
}

}  // namespace vantrel::cli
