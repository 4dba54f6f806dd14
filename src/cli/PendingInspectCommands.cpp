// Placeholder commands: each is replaced by its own file (one command per file).
#include "cli/Commands.h"

namespace vantrel::cli {
int runInspect(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
int runImport(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
}  // namespace vantrel::cli
