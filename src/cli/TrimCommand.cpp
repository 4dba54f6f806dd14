#include <charconv>
#include <cmath>
#include <ostream>

#include "cli/Commands.h"
#include "cli/RideArgument.h"
#include "model/TerminalText.h"
#include "model/UnitSystem.h"
#include "services/RideTrimService.h"

namespace vantrel::cli {

namespace {

double parseProgress(const std::optional<std::string>& text) {
    if (!text) throw UsageError("trim needs --at PROGRESS (a number from 0 to 1)");
    double progress = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), progress);
    if (error != std::errc() || end != text->data() + text->size() || !(progress >= 0.0) ||
        progress > 1.0) {
        throw UsageError("--at needs a number from 0 to 1, not \"" + *text + "\"");
    }
    return progress;
}

/// Destructive steps ask first; a script must say --yes, since it cannot be asked.
bool userAgrees(CliContext& ctx, bool yes) {
    if (yes) return true;
    if (!ctx.interactive) {
        throw UsageError("trim removes data; confirm on a terminal or pass --yes");
    }
    return ctx.confirm(std::string(RideTrimService::trimButtonTitle()) + "?");
}

}  // namespace

int runTrim(CliContext& ctx) {
    double progress = parseProgress(ctx.takeOption("--at"));
    bool yes = ctx.takeFlag("--yes");
    ctx.rejectUnknownOptions();
    RideRef ride = fetchRideArgument(ctx, "trim");
    ctx.out << RideTrimService::trimConfirmationTitle() << '\n'
            << terminalText(RideTrimService::trimConfirmationMessage(*ride, progress)) << '\n';
    if (!userAgrees(ctx, yes)) {
        ctx.err << "Nothing was trimmed.\n";
        return 1;
    }
    Date cut = RideTrimService::cutTime(*ride, progress);
    if (!RideTrimService::trim(*ride, cut, now())) {
        ctx.err << "vantrel-cli: a stored series of this activity cannot be read; nothing was "
                   "trimmed\n";
        return 1;
    }
    ctx.store().save();
    ctx.out << "Trimmed to " << formatDuration(ride->duration) << ".\n";
    return 0;
}

}  // namespace vantrel::cli
