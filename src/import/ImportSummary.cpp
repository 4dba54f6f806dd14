#include "import/ImportSummary.h"

#include <algorithm>

#include "import/BulkImportRun.h"

namespace vantrel {

namespace {

constexpr std::size_t kNamedFailures = 5;

}  // namespace

ImportSummary::ImportSummary(const BulkImportResult& result)
    : ImportSummary(result.imported, result.skipped) {
    failedCount = result.failedCount();
    failures = result.namedFailures();
}

std::string damagedSeriesText(int count) {
    if (count == 0) return {};
    return std::to_string(count) +
           (count == 1 ? " activity had a damaged series and was imported without it."
                       : " activities had a damaged series and were imported without it.");
}

std::string failedFilesText(int count,
                            const std::vector<std::pair<std::string, std::string>>& failures) {
    if (count <= 0) return {};
    std::string text = std::to_string(count) + (count == 1 ? " file could not be imported:"
                                                           : " files could not be imported:");
    std::size_t shown =
        std::min({failures.size(), kNamedFailures, static_cast<std::size_t>(count)});
    for (std::size_t i = 0; i < shown; ++i) {
        const auto& [name, reason] = failures[i];
        text += '\n';
        if (!name.empty()) {
            text += name;
            text += ": ";
        }
        text += reason;
    }
    if (static_cast<std::size_t>(count) > shown)
        text += "\nand " + std::to_string(count - static_cast<int>(shown)) + " more";
    return text;
}

std::string ImportSummary::text() const {
    std::string text = importCompletionText(imported, skipped);
    for (const std::string& line :
         {damagedSeriesText(damagedSeries), failedFilesText(failedCount, failures)}) {
        if (!line.empty()) text += "\n" + line;
    }
    return text;
}

}  // namespace vantrel
