#include "cli/CliContext.h"

#include <clocale>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>

#include "cli/Commands.h"
#include "logging/PersistentLogger.h"
#include "logging/RenamedTwinsReport.h"
#include "model/Paths.h"
#include "model/Preferences.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

CliContext::CliContext(std::vector<std::string> arguments, std::ostream& output,
                       std::ostream& errors, std::istream& input, std::filesystem::path storePath,
                       bool isInteractive)
    : args(std::move(arguments)),
      out(output),
      err(errors),
      in(input),
      interactive(isInteractive),
      m_storePath(std::move(storePath)) {}

CliContext::~CliContext() = default;

RideStore& CliContext::store() {
    if (!m_store) {
        m_store = RideStore::open(m_storePath);
        reportRenamedTwins(*m_store, logger(), err);
    }
    return *m_store;
}

// The command line's entry point is where the process-wide objects are reached; the commands
// pass them on.
Preferences& CliContext::preferences() {
    return Preferences::shared();
}

PersistentLogger& CliContext::logger() {
    return PersistentLogger::shared();
}

std::optional<std::string> CliContext::takeOption(const std::string& name) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it != name) continue;
        if (it + 1 == args.end()) throw UsageError(name + " needs a value");
        std::string value = *(it + 1);
        args.erase(it, it + 2);
        return value;
    }
    return std::nullopt;
}

bool CliContext::takeFlag(const std::string& name) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == name) {
            args.erase(it);
            return true;
        }
    }
    return false;
}

void CliContext::rejectUnknownOptions() const {
    for (const auto& arg : args) {
        if (arg.size() > 2 && arg.rfind("--", 0) == 0) throw UsageError("unknown option " + arg);
    }
}

bool CliContext::confirm(const std::string& question) {
    if (!interactive) return false;
    err << terminalText(question) << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

namespace {

struct Command {
    std::function<int(CliContext&)> run;
    const char* usage;
};

std::map<std::string, Command> commandTable() {
    std::map<std::string, Command> table = {
        {"years", {runYears, "years                          activities per year"}},
        {"list", {runList, "list [--year Y] [--json]       activities, newest first"}},
        {"show", {runShow, "show ID [--json]               one activity, every field"}},
        {"migrate", {runMigrate, "migrate                        pack old series now"}},
        {"inspect",
         {runInspect, "inspect FILE [--json]          read an activity file, store nothing"}},
        {"import", {runImport, "import [--source LABEL] [--threads N] PATH..."}},
        {"export-gpx",
         {runExportGpx, "export-gpx ID -o FILE | (--all | --year Y | ID...) --to DIR"}},
        {"export-archive",
         {runExportArchive, "export-archive (ID... | --year Y) -o FILE | --all --to DIR"}},
        {"import-archive", {runImportArchive, "import-archive FILE...         import archives"}},
        {"analyze", {runAnalyze, "analyze ID [--split mile|quarterMile|400m|1000m|km] [--json]"}},
        {"trim", {runTrim, "trim ID --at PROGRESS [--yes]  cut the end of an activity"}},
        {"undo-trim", {runUndoTrim, "undo-trim ID                   restore the last trim"}},
        {"import-zip", {runImportZip, "import-zip [--source LABEL] [--threads N] ZIP..."}},
        {"import-strava", {runImportStrava, "import-strava [--threads N] FILE..."}},
        {"import-garmin",
         {runImportGarmin, "import-garmin [--replace] [--yes] [--threads N] FOLDER"}},
        {"photos", {runPhotos, "photos ID                      list photos"}},
        {"stats",
         {runStats,
          "stats [--by week|month|year] [--kind KIND|cycling|running|swimming]... [--from DATE] "
          "[--to DATE] [--json]"}},
        {"copy-store",
         {runCopyStore, "copy-store --from LOC --to LOC [--merge] copy every activity"}},
        {"records", {runRecords, "records [--kind KIND|cycling|running|swimming]... [--json]"}},
        {"heatmap", {runHeatmap, "heatmap [--kind KIND]... [--year Y]... --geojson FILE"}},
        {"watch",
         {runWatch, "watch [--devices] [FOLDER...]  import new activities as they arrive"}},
    };
    for (const auto& media : kMediaCommands) {
        std::string name = media.name;
        table[name] = {[name](CliContext& ctx) { return runMediaCommand(name, ctx); }, media.usage};
    }
    return table;
}

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = commandTable();
    return table;
}

void printHelp(std::ostream& out) {
    out << "usage: vantrel-cli [--store LOCATION] COMMAND [ARGS]\n"
           "The store defaults to $VANTREL_STORE, else ~/.local/share/vantrel/store.sqlite.\n"
           "A location postgresql://USER@HOST/DATABASE names a PostgreSQL server (a password\n"
           "belongs in ~/.pgpass or PGPASSFILE, not on the command line).\n\n"
           "commands:\n";
    for (const auto& [name, command] : commands()) out << "  " << command.usage << "\n";
}

}  // namespace

int runCli(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
           std::istream& in, bool interactive) {
    // Figures are written with a point whatever the user's number locale, so that scripts can
    // read them back.
    std::setlocale(LC_NUMERIC, "C");
    std::vector<std::string> args(argv.begin() + (argv.empty() ? 0 : 1), argv.end());
    std::filesystem::path storePath = defaultStorePath();
    while (!args.empty() && args.front().rfind("--", 0) == 0) {
        if (args.front() == "--help" || args.front() == "-h") {
            printHelp(out);
            return 0;
        }
        if (args.front() != "--store" || args.size() < 2) {
            err << "vantrel-cli: unknown option " << terminalText(args.front()) << "\n";
            return 1;
        }
        storePath = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        printHelp(err);
        return 1;
    }
    auto found = commands().find(args.front());
    if (found == commands().end()) {
        err << "vantrel-cli: unknown command " << terminalText(args.front()) << "\n";
        return 1;
    }
    args.erase(args.begin());
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
        out << "usage: vantrel-cli " << found->second.usage << "\n";
        return 0;
    }
    CliContext ctx(std::move(args), out, err, in, storePath, interactive);
    try {
        return found->second.run(ctx);
    } catch (const UsageError& e) {
        err << "vantrel-cli: " << terminalText(e.what()) << "\n";
        return 1;
    } catch (const StoreError& e) {
        err << "vantrel-cli: " << terminalText(e.what()) << "\n";
        return 2;
    }
}

}  // namespace vantrel::cli
