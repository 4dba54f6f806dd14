#include <ostream>

#include "cli/Commands.h"

namespace vantrel::cli {

int runYears(CliContext& ctx) {
    ctx.rejectUnknownOptions();
    if (!ctx.args.empty()) throw UsageError("years takes no arguments");
    for (const auto& summary : ctx.store().yearSummaries())
        ctx.out << summary.year << '\t' << summary.count << '\n';
    return 0;
}

}  // namespace vantrel::cli
