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
    /// Clears the progress line, prints every failure on stderr and the summary on stdout: the
    /// completion text and, when some failed, the first of them by name. Returns the exit status: 2
    /// when the final save failed, 1 when nothing was imported but something failed, else 0.
    int report(const BulkImportResult& result);

  private:
    CliContext& m_ctx;
    ProgressLine m_progress;
};

}  // namespace vantrel::cli
