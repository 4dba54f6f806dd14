#include <ostream>

#include "cli/Commands.h"
#include "model/Preferences.h"

namespace vantrel::cli {

int runMigrate(CliContext& ctx) {
    ctx.rejectUnknownOptions();
    if (!ctx.args.empty()) throw UsageError("migrate takes no arguments");
    int migrated = compressStoredSeries(ctx.store());
    ctx.preferences().setBoolean(kMigrationDoneKey, true);
    ctx.out << "Packed the series of " << migrated << (migrated == 1 ? " activity" : " activities")
            << '\n';
    if (ctx.store().hasChanges()) {
        ctx.err << "vantrel-cli: some changes could not be saved\n";
        return 1;
    }
    return 0;
}

}  // namespace vantrel::cli
