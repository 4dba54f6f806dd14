// Placeholder commands: each is replaced by its own file (one command per file).
#include "cli/Commands.h"

namespace vantrel::cli {
int runYears(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
int runList(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
int runShow(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
int runMigrate(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
}  // namespace vantrel::cli
