#pragma once

#include "cli/CliContext.h"
#include "cli/ProgressLine.h"
#include "import/BulkImportRun.h"

namespace vantrel::cli {

/// The pieces the three bulk import commands share: the "--threads N" option, the progress line
/// and the report at the end.
class BulkImportOutput {
  public:
    explicit BulkImportOutput(CliContext& ctx);

    /// Options with "--threads N" taken from the arguments (UsageError unless N is 1…1024) and a
    /// progress callback that draws "Importing 120 of 1,043…" on a terminal.
    BulkImportOptions takeOptions();
    /// Clears the progress line, prints the completion text on stdout and every failure on
    /// stderr. Returns the exit status: 2 when the final save failed, 1 when nothing was imported
    /// but something failed, else 0.
    int report(const BulkImportResult& result);

  private:
    CliContext& m_ctx;
    ProgressLine m_progress;
};

}  // namespace vantrel::cli
