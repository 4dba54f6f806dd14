#include "archive/PathImport.h"

#include "archive/ArchiveImport.h"
#include "import/ActivityImporter.h"
#include "import/ImportablePaths.h"
#include "import/ZipImportService.h"

namespace vantrel {

namespace {

/// One progress count over the activity files, the ZIP members and the archived activities,
/// each of which counts from zero.
class CombinedProgress {
  public:
    explicit CombinedProgress(const BulkImportOptions& options) : m_options(options) {}

    void report(int done, int total) const {
        if (!m_options.progress) return;
        int all = m_doneBefore + total;
        int current = m_doneBefore + done;
        m_options.progress({all, current, all >= 1 ? static_cast<double>(current) / all : 0.0});
    }
    void finishPart(int handled) { m_doneBefore += handled; }

  private:
    const BulkImportOptions& m_options;
    int m_doneBefore = 0;
};

void addFailures(PathImportResult& result,
                 const std::vector<std::pair<std::string, std::string>>& failures, int count) {
    result.failures.insert(result.failures.end(), failures.begin(), failures.end());
    result.failedCount += count;
}

void noteSaveError(PathImportResult& result, const std::optional<std::string>& error) {
    if (error && !result.saveError) result.saveError = error;
}

void importActivityFiles(RideStore& store, const std::vector<std::filesystem::path>& files,
                         const std::optional<std::string>& label, const BulkImportOptions& options,
                         CombinedProgress& progress, PathImportResult& result) {
    FileListImportResult loose =
        importNewActivityFiles(store, files, label, *options.logger,
                               [&](int done, int total) { progress.report(done, total); });
    result.imported += loose.saved;
    result.skipped += loose.skipped;
    addFailures(result, loose.failures, static_cast<int>(loose.failures.size()));
    noteSaveError(result, loose.saveError);
    progress.finishPart(static_cast<int>(files.size()));
}

void importZips(RideStore& store, const std::vector<std::filesystem::path>& zips,
                const std::optional<std::string>& label, const BulkImportOptions& options,
                CombinedProgress& progress, PathImportResult& result) {
    BulkImportOptions zipOptions = options;
    zipOptions.progress = [&](const ImportProgress& update) {
        progress.report(update.importCurrent, update.importTotal);
    };
    BulkImportResult zip = importZipArchives(store, zips, label.value_or("ZIP Import"), zipOptions);
    result.imported += zip.saved;
    result.skipped += zip.skipped;
    addFailures(result, zip.namedFailures(), zip.failedCount());
    noteSaveError(result, zip.saveError);
    progress.finishPart(zip.imported + zip.skipped + zip.errors);
}

void importArchives(RideStore& store, const std::vector<std::filesystem::path>& archives,
                    const BulkImportOptions& options, CombinedProgress& progress,
                    PathImportResult& result) {
    ArchiveImportResult archive =
        importArchiveFiles(store, archives, *options.logger,
                           [&](int done, int total) { progress.report(done, total); });
    result.imported += archive.saved;
    result.skipped += archive.skipped;
    result.damagedSeries += archive.damagedSeries;
    std::vector<std::pair<std::string, std::string>> failures;
    for (const auto& failure : archive.failures)
        failures.emplace_back(failure.fileName, failure.description);
    addFailures(result, failures, static_cast<int>(failures.size()));
    noteSaveError(result, archive.saveError);
}

}  // namespace

ImportSummary PathImportResult::summary() const {
    ImportSummary summary(imported, skipped, damagedSeries);
    summary.failedCount = failedCount;
    summary.failures = failures;
    return summary;
}

PathImportResult importPaths(RideStore& store, const std::vector<std::filesystem::path>& paths,
                             const BulkImportOptions& options,
                             const std::optional<std::string>& sourceLabel) {
    ImportablePaths sorted = ImportablePaths::sort(paths);
    PathImportResult result;
    addFailures(result, sorted.refused, static_cast<int>(sorted.refused.size()));
    CombinedProgress progress(options);
    if (!sorted.activityFiles.empty())
        importActivityFiles(store, sorted.activityFiles, sourceLabel, options, progress, result);
    if (!sorted.zipArchives.empty())
        importZips(store, sorted.zipArchives, sourceLabel, options, progress, result);
    if (!sorted.archives.empty()) importArchives(store, sorted.archives, options, progress, result);
    return result;
}

}  // namespace vantrel
