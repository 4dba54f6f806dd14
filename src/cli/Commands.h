#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliContext.h"

namespace vantrel::cli {

// One function per command, each in its own file. They return the exit status and throw
// UsageError for user errors.
int runYears(CliContext& ctx);
int runList(CliContext& ctx);
int runShow(CliContext& ctx);
int runMigrate(CliContext& ctx);
int runInspect(CliContext& ctx);
int runImport(CliContext& ctx);
int runExportGpx(CliContext& ctx);
int runExportArchive(CliContext& ctx);
int runImportArchive(CliContext& ctx);
int runAnalyze(CliContext& ctx);
int runTrim(CliContext& ctx);
int runUndoTrim(CliContext& ctx);
int runImportZip(CliContext& ctx);
int runImportStrava(CliContext& ctx);
int runImportGarmin(CliContext& ctx);
int runGeocode(CliContext& ctx);
int runWeather(CliContext& ctx);
int runPhotoAdd(CliContext& ctx);
int runPhotos(CliContext& ctx);
int runStats(CliContext& ctx);
int runCopyStore(CliContext& ctx);
int runRecords(CliContext& ctx);
int runHeatmap(CliContext& ctx);
int runWatch(CliContext& ctx);

/// The archive import of `import-archive`, also run by `import` for the archives it is given:
/// imports `files`, prints the failures and the summary, and returns the exit status.
int reportArchiveImport(CliContext& ctx, const std::vector<std::filesystem::path>& files);

/// The commands that decode images or call web services, with their usage lines.
struct MediaCommand {
    const char* name;
    const char* usage;
};
inline constexpr MediaCommand kMediaCommands[] = {
    {"geocode", "geocode (--missing | --all | ID)"},
    {"photo-add", "photo-add ID IMAGE...          attach photos"},
    {"weather", "weather (--missing | --all | ID...) weather at start and end"},
};

/// Runs the media command `name` (one of kMediaCommands). vantrel-cli-media and the tests run
/// it in-process (media/MediaCommands.cpp); vantrel-cli replaces itself with vantrel-cli-media
/// (ForwardedCommands.cpp) and only returns, with a UsageError, when that cannot start.
int runMediaCommand(const std::string& name, CliContext& ctx);

}  // namespace vantrel::cli
