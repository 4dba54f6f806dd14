#pragma once

#include <string>
#include <utility>
#include <vector>

#include "import/ImportSummary.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

/// The (name, reason) lines of failed files made safe for the terminal: names come from
/// archives and file systems and may hold control characters.
inline std::vector<std::pair<std::string, std::string>> terminalFailures(
    const std::vector<std::pair<std::string, std::string>>& failures) {
    std::vector<std::pair<std::string, std::string>> escaped;
    escaped.reserve(failures.size());
    for (const auto& [name, reason] : failures)
        escaped.emplace_back(terminalText(name), terminalText(reason));
    return escaped;
}

/// The summary's text with its failure lines escaped; the line breaks between them stay.
inline std::string terminalSummaryText(ImportSummary summary) {
    summary.failures = terminalFailures(summary.failures);
    return summary.text();
}

}  // namespace vantrel::cli
