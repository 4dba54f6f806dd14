#include <ostream>

#include "cli/Commands.h"
#include "cli/InterruptAborts.h"
#include "cli/ProgressLine.h"
#include "cli/RideArgument.h"
#include "model/Preferences.h"
#include "model/TerminalText.h"
#include "services/FallbackGeocoder.h"
#include "services/GeocodingService.h"

namespace vantrel::cli {

namespace {

enum class Scope { missing, all, one };

Scope parseScope(CliContext& ctx) {
    bool missing = ctx.takeFlag("--missing");
    bool all = ctx.takeFlag("--all");
    ctx.rejectUnknownOptions();
    if (missing + all + !ctx.args.empty() != 1 || (!ctx.args.empty() && ctx.args.size() != 1)) {
        throw UsageError("geocode needs exactly one of --missing, --all or an activity ID");
    }
    return missing ? Scope::missing : all ? Scope::all : Scope::one;
}

// Running texts redraw one terminal line; results (shown for a while in the app) are printed.
GeocodingService::Context makeContext(CliContext& ctx, Geocoder& geocoder, ProgressLine& line) {
    return {geocoder, ctx.logger(), [&ctx, &line](const GeocodeStatus& status) {
                if (!status.clearAfter) {
                    line.update(status.progress, true);
                    return;
                }
                line.finish();
                ctx.out << terminalText(status.progress) << '\n';
            }};
}

}  // namespace

int runGeocode(CliContext& ctx) {
    auto scope = parseScope(ctx);
    RideRef ride = scope == Scope::one ? fetchRideArgument(ctx, "geocode") : nullptr;
    if (ride && ride->routePoints().empty()) {
        ctx.err << "vantrel-cli: activity " << ride->rideID.toString()
                << " has no route to locate\n";
        return 1;
    }
    auto geocoder = FallbackGeocoder::standard(ctx.preferences());
    CancellationToken token;
    InterruptAborts interrupts(token);
    ProgressLine line(ctx.err, ctx.interactive);
    auto context = makeContext(ctx, *geocoder, line);
    if (ride) {
        GeocodingService::geocodeSelected(ctx.store(), *ride, context, token);
    } else {
        GeocodingService::startGeocoding(ctx.store(), scope == Scope::all, context, token);
    }
    line.finish();
    return 0;
}

}  // namespace vantrel::cli
