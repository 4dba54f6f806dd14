// Placeholder commands: each is replaced by its own file (one command per file).
#include "cli/Commands.h"

namespace vantrel::cli {
int runGeocode(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
int runPhotoAdd(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
int runPhotos(CliContext& ctx) { ctx.err << "not available yet\n"; return 1; }
}  // namespace vantrel::cli
