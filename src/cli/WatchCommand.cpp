// vantrel-cli watch [--devices] [FOLDER...]: imports new activities as they arrive, until
// SIGINT or SIGTERM.
#include <signal.h>

#include <atomic>
#include <ostream>

#include "cli/Commands.h"
#include "watch/ActivityWatcher.h"
#include "watch/WatchError.h"
#include "watch/WatchSettings.h"

namespace vantrel::cli {

namespace {

std::atomic<ActivityWatcher*> runningWatcher{nullptr};

extern "C" void stopWatching(int) {
    if (ActivityWatcher* watcher = runningWatcher.load()) watcher->stop();
}

// Handlers for SIGINT and SIGTERM while it lives, the earlier ones restored after. Without
// SA_RESTART, so that a wait is interrupted at once.
class StopSignals {
  public:
    explicit StopSignals(ActivityWatcher& watcher) {
        runningWatcher.store(&watcher);
        struct sigaction action {};
        action.sa_handler = stopWatching;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInterrupt);
        sigaction(SIGTERM, &action, &m_previousTerminate);
    }
    ~StopSignals() {
        sigaction(SIGINT, &m_previousInterrupt, nullptr);
        sigaction(SIGTERM, &m_previousTerminate, nullptr);
        runningWatcher.store(nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction m_previousInterrupt {};
    struct sigaction m_previousTerminate {};
};

std::string watchedText(const WatchOptions& options) {
    std::string text;
    for (const auto& folder : options.folders) text += (text.empty() ? "" : ", ") + folder.string();
    if (options.devices) text += text.empty() ? "devices plugged in" : " and devices plugged in";
    return text;
}

WatchCallbacks printingCallbacks(CliContext& ctx, const WatchOptions& options) {
    WatchCallbacks callbacks;
    callbacks.file = [&ctx](const WatchedFile& file) {
        if (file.kind == WatchedFile::Kind::imported) {
            ctx.out << "Imported " << file.file.string() << " from " << file.placeName << "\n"
                    << std::flush;
        } else if (file.kind == WatchedFile::Kind::failed) {
            ctx.err << file.file.string() << ": " << file.description << "\n" << std::flush;
        }
    };
    callbacks.waiting = [&ctx](const std::string& holder) {
        ctx.err << "Waiting: " << (holder.empty() ? "another watcher" : holder)
                << " watches this store; watching begins when it ends\n"
                << std::flush;
    };
    callbacks.started = [&ctx, text = watchedText(options)] {
        ctx.err << "Watching " << text << "\n" << std::flush;
    };
    callbacks.problem = [&ctx](const std::string& message) {
        ctx.err << message << "\n" << std::flush;
    };
    return callbacks;
}

}  // namespace

int runWatch(CliContext& ctx) {
    WatchOptions options(ctx.logger());
    options.devices = ctx.takeFlag("--devices");
    ctx.rejectUnknownOptions();
    WatchSettings settings = WatchSettings::load(ctx.preferences());
    options.folders.assign(ctx.args.begin(), ctx.args.end());
    options.folders.insert(options.folders.end(), settings.watchedFolders.begin(),
                           settings.watchedFolders.end());
    options.deviceActivityFolders = settings.deviceActivityFolders;
    options.holderName = "vantrel-cli watch";
    if (options.folders.empty() && !options.devices)
        throw UsageError(
            "nothing to watch: name folders, list them in the watchedFolders "
            "preference, or give --devices");
    ActivityWatcher watcher(ctx.store(), options, printingCallbacks(ctx, options));
    StopSignals signals(watcher);
    try {
        watcher.run();
    } catch (const WatchError& error) {
        throw UsageError(error.what());
    }
    return 0;
}

}  // namespace vantrel::cli
