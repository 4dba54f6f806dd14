#include <csignal>
#include <ostream>

#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/RideArgument.h"
#include "model/Preferences.h"
#include "model/TerminalText.h"
#include "services/FallbackGeocoder.h"
#include "services/GeocodingService.h"

namespace vantrel::cli {

namespace {

std::atomic<CancellationToken*> interruptedRun{nullptr};

extern "C" void cancelOnInterrupt(int) {
    if (auto* token = interruptedRun.load()) token->cancel();
}

/// Ctrl-C is the command line's "Abort" button: the run stops before the next activity and
/// still reports what it did.
class InterruptAborts {
  public:
    explicit InterruptAborts(CancellationToken& token) {
        interruptedRun = &token;
        struct sigaction action {};
        action.sa_handler = cancelOnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptAborts() {
        sigaction(SIGINT, &m_previous, nullptr);
        interruptedRun = nullptr;
    }
    InterruptAborts(const InterruptAborts&) = delete;
    InterruptAborts& operator=(const InterruptAborts&) = delete;

  private:
    struct sigaction m_previous {};
};

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
    return {geocoder, [&ctx, &line](const GeocodeStatus& status) {
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
    auto geocoder = FallbackGeocoder::standard(Preferences::shared());
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
