#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vantrel {

struct BulkImportResult;

/// The counts of an import and the lines that follow them in the app's alert and the tool's
/// summary.
struct ImportSummary {
    ImportSummary(int importedCount, int skippedCount, int damagedSeriesCount = 0)
        : imported(importedCount), skipped(skippedCount), damagedSeries(damagedSeriesCount) {}
    /// The counts of an archive run, with every archive, member and record that failed.
    explicit ImportSummary(const BulkImportResult& result);

    int imported;
    int skipped;
    /// Activities imported without a series that did not decode.
    int damagedSeries;
    /// Files (or members, or activities within a file) that could not be imported.
    int failedCount = 0;
    /// (name, reason) of the first of them; a nameless one shows its reason alone.
    std::vector<std::pair<std::string, std::string>> failures;

    /// "Imported N activities. Skipped M duplicates." and the lines below, one per line.
    std::string text() const;
};

/// "N activities had a damaged series and were imported without it." (singular for exactly
/// 1); empty for none.
std::string damagedSeriesText(int count);

/// "N files could not be imported:", then "name: reason" for each of the first five of
/// `failures` and "and M more" for the rest of `count`, one per line; empty for none.
std::string failedFilesText(int count,
                            const std::vector<std::pair<std::string, std::string>>& failures);

}  // namespace vantrel
