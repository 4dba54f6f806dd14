#include "cli/BulkImportOutput.h"
#include "cli/Commands.h"
#include "import/StravaImportService.h"

namespace vantrel::cli {

int runImportStrava(CliContext& ctx) {
    BulkImportOutput output(ctx);
    BulkImportOptions options = output.takeOptions();
    ctx.rejectUnknownOptions();
    if (ctx.args.empty()) throw UsageError("import-strava needs at least one file");
    std::vector<std::filesystem::path> files(ctx.args.begin(), ctx.args.end());
    return output.report(importStravaFiles(ctx.store(), files, options));
}

}  // namespace vantrel::cli
