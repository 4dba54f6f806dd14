#pragma once

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
int runPhotoAdd(CliContext& ctx);
int runPhotos(CliContext& ctx);

}  // namespace vantrel::cli
