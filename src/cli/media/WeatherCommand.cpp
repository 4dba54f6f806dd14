#include <ostream>

#include "cli/Commands.h"
#include "cli/InterruptAborts.h"
#include "cli/ProgressLine.h"
#include "model/Preferences.h"
#include "services/WeatherService.h"

namespace vantrel::cli {

namespace {

constexpr int kServiceUnavailableStatus = 2;

struct Arguments {
    WeatherService::Scope scope = WeatherService::Scope::missing;
    std::vector<std::int64_t> selection;
};

Arguments parseArguments(CliContext& ctx) {
    bool missing = ctx.takeFlag("--missing");
    bool all = ctx.takeFlag("--all");
    ctx.rejectUnknownOptions();
    if (missing + all + !ctx.args.empty() != 1) {
        throw UsageError("weather needs exactly one of --missing, --all or activity IDs");
    }
    Arguments arguments;
    if (missing || all) {
        arguments.scope = missing ? WeatherService::Scope::missing : WeatherService::Scope::all;
        return arguments;
    }
    // Every ID is checked before the first request goes out.
    arguments.scope = WeatherService::Scope::selected;
    for (const auto& text : ctx.args) {
        auto rideID = Uuid::parse(text);
        if (!rideID) throw UsageError("not an activity ID: " + text);
        auto ride = ctx.store().fetchByRideID(*rideID);
        if (!ride) throw UsageError("no activity with ID " + rideID->toString());
        arguments.selection.push_back(ride->objectID);
    }
    return arguments;
}

// Running texts redraw one terminal line; the closing one is printed. Warnings go to stderr as
// they come, besides the log.
WeatherService::Context makeContext(CliContext& ctx, WeatherClient& client, ProgressLine& line) {
    return {client,
            [&ctx, &line](const WeatherStatus& status) {
                if (status.isRunning) return line.update(status.progress, true);
                line.finish();
                if (status.clearAfter != WeatherService::kShowStopped) {
                    ctx.out << status.progress << '\n';
                }
            },
            [&ctx, &line](const std::string& warning) {
                line.finish();
                ctx.err << "warning: " << warning << '\n';
            },
            ctx.logger()};
}

}  // namespace

int runWeather(CliContext& ctx) {
    Arguments arguments = parseArguments(ctx);
    WeatherClient client(WeatherClient::Settings::fromPreferences(ctx.preferences()));
    CancellationToken token;
    InterruptAborts interrupts(token);
    ProgressLine line(ctx.err, ctx.interactive);
    auto context = makeContext(ctx, client, line);
    auto summary = WeatherService::fetchWeather(ctx.store(), arguments.scope, arguments.selection,
                                                context, token);
    line.finish();
    if (summary.stopReason) {
        ctx.out << WeatherService::summaryText(summary) << '\n';
        ctx.err << "vantrel-cli: " << *summary.stopReason << '\n';
        return kServiceUnavailableStatus;
    }
    if (summary.failed > 0) {
        ctx.err << "vantrel-cli: the weather of " << summary.failed
                << (summary.failed == 1 ? " activity" : " activities")
                << " could not be read; the warnings above and the log say why\n";
        return 1;
    }
    return 0;
}

}  // namespace vantrel::cli
