#include "cli/BulkImportOutput.h"

#include <charconv>
#include <ostream>

#include "archive/ArchiveImport.h"
#include "cli/TerminalFailures.h"
#include "import/ImportSummary.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

namespace {

constexpr int kMaxThreads = 1024;

int parseThreadCount(const std::string& text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kMaxThreads) {
        throw UsageError("--threads needs a whole number from 1 to " + std::to_string(kMaxThreads));
    }
    return value;
}

std::string countedFiles(int count, const std::string& adjective = "") {
    return std::to_string(count) + " " + adjective + (count == 1 ? "file" : "files");
}

}  // namespace

BulkImportOutput::BulkImportOutput(CliContext& ctx)
    : m_ctx(ctx), m_progress(ctx.err, ctx.interactive) {}

BulkImportOptions BulkImportOutput::takeOptions() {
    BulkImportOptions options(m_ctx.logger());
    if (auto threads = m_ctx.takeOption("--threads")) options.threads = parseThreadCount(*threads);
    options.progress = [this](const ImportProgress& progress) {
        if (progress.importCurrent < 1) return;
        m_progress.update("Importing " + groupedNumber(progress.importCurrent) + " of " +
                          groupedNumber(progress.importTotal) + "…");
    };
    return options;
}

int BulkImportOutput::report(const BulkImportResult& result) {
    m_progress.finish();
    for (const auto& [archive, reason] : result.archiveFailures) {
        m_ctx.err << "vantrel-cli: cannot read " << terminalText(archive.string()) << ": "
                  << terminalText(reason) << "\n";
    }
    for (const auto& [file, reason] : result.fileFailures) {
        m_ctx.err << "vantrel-cli: " << terminalText(file) << ": " << terminalText(reason) << "\n";
    }
    int memberErrors = result.errors - static_cast<int>(result.fileFailures.size());
    if (memberErrors > 0) {
        // Records dropped at saving are listed by name above; the rest are only counted.
        m_ctx.err << "vantrel-cli: "
                  << countedFiles(memberErrors, result.fileFailures.empty() ? "" : "more ")
                  << " could not be imported\n";
    }
    if (result.saveError) {
        m_ctx.err << "vantrel-cli: the imported activities could not be saved: "
                  << terminalText(*result.saveError)
                  << "\nvantrel-cli: " << storedBeforeFailureText(result.saved) << "\n";
        return 2;
    }
    m_ctx.out << terminalSummaryText(ImportSummary(result)) << "\n";
    bool failed = result.errors > 0 || !result.archiveFailures.empty();
    return result.imported == 0 && failed ? 1 : 0;
}

}  // namespace vantrel::cli
