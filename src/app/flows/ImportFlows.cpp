#include "app/flows/ImportFlows.h"

#include <QWidget>
#include <set>
#include <utility>

#include "app/flows/BackgroundTask.h"
#include "app/flows/OpenedFiles.h"
#include "app/widgets/Dialogs.h"
#include "archive/ArchiveImport.h"
#include "archive/PathImport.h"
#include "import/GarminImportService.h"
#include "import/StravaImportService.h"
#include "import/ZipImportService.h"
#include "model/RideStore.h"

namespace vantrel {

namespace {

std::vector<std::filesystem::path> pathsOf(const QStringList& files) {
    std::vector<std::filesystem::path> paths;
    for (const QString& file : files) paths.emplace_back(file.toStdString());
    return paths;
}

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

/// One failure as "name: reason"; several as the list of the first of them.
std::string failureText(int count,
                        const std::vector<std::pair<std::string, std::string>>& failures) {
    if (count == 1 && failures.size() == 1) {
        const auto& [name, reason] = failures.front();
        return name.empty() ? reason : name + ": " + reason;
    }
    return failedFilesText(count, failures);
}

// A flood of hand-overs (another program writing to the instance socket) must not grow the
// queue without end; a file manager's selection stays far below this.
constexpr qsizetype kMaxQueuedCharacters = qsizetype{8} * 1024 * 1024;
constexpr const char* kQueueOverflowText =
    "Some files were not imported: too many were handed over at once.";

void append(OpenedImportResult& total, const OpenedImportResult& more) {
    PathImportResult& sum = total.result;
    const PathImportResult& next = more.result;
    sum.imported += next.imported;
    sum.skipped += next.skipped;
    sum.damagedSeries += next.damagedSeries;
    sum.failedCount += next.failedCount;
    sum.failures.insert(sum.failures.end(), next.failures.begin(), next.failures.end());
    if (!sum.saveError) sum.saveError = next.saveError;
    total.added.objectIDs.insert(total.added.objectIDs.end(), more.added.objectIDs.begin(),
                                 more.added.objectIDs.end());
    total.added.years.insert(total.added.years.end(), more.added.years.begin(),
                             more.added.years.end());
}

/// A run's result with the records it added, told apart from those stored before.
template <typename Result>
struct WithNewRecords {
    Result result;
    NewRecords added;
};

template <typename Result>
WithNewRecords<Result> noticingNewRecords(RideStore& store, const std::function<Result()>& run) {
    std::set<std::int64_t> before = storedObjectIDs(store);
    Result result = run();
    return {std::move(result), newRecordsSince(store, before)};
}

}  // namespace

/// What the opened-files runs since the last alert found together.
struct ImportFlows::OpenedRun {
    OpenedImportResult result;
    std::optional<std::string> error;
};

ImportFlows::ImportFlows(RideStore& store, AppContext context, QWidget* window)
    : QObject(window), m_store(store), m_context(context), m_window(window) {}

void ImportFlows::importFromStrava() {
    auto files = Dialogs::openFiles(
        m_window, {QStringLiteral("Select Strava GPX files or Strava bulk export ZIP."),
                   {},
                   QLatin1String(kStravaFilter),
                   {},
                   true});
    if (!files || files->isEmpty()) return;
    std::vector<std::filesystem::path> chosen = pathsOf(*files);
    if (zipFilesAmong(chosen).empty()) return importLooseFiles(chosen);
    runBulkImport([chosen](RideStore& store, const BulkImportOptions& options) {
        return importStravaFiles(store, chosen, options);
    });
}

void ImportFlows::importFromZip() {
    auto files = Dialogs::openFiles(
        m_window, {QStringLiteral("Select ZIP files containing activity files (GPX, TCX, FIT)."),
                   {},
                   QLatin1String(kZipFilter),
                   {},
                   true});
    if (!files || files->isEmpty()) return;
    std::vector<std::filesystem::path> archives = pathsOf(*files);
    runBulkImport([archives](RideStore& store, const BulkImportOptions& options) {
        return importZipArchives(store, archives, "ZIP Import", options);
    });
}

void ImportFlows::importFromGarmin() {
    auto folder = Dialogs::openFolder(
        m_window,
        {QStringLiteral("Select the Garmin export folder (the folder containing DI_CONNECT)."),
         QStringLiteral("Select Folder"),
         {},
         {},
         false});
    if (!folder) return;
    std::optional<GarminExport> garmin = inspectGarmin(*folder);
    if (!garmin) return;
    std::optional<bool> replace = Dialogs::confirmWithCheckbox(
        m_window, QLatin1String(kGarminConfirmationTitle),
        fromStd(garminConfirmationText(garmin->archives.size(), garmin->summaries.size())),
        QLatin1String(kGarminReplaceOptionTitle), QStringLiteral("Import"));
    if (!replace) return;
    runBulkImport(
        [garmin = *garmin, replace = *replace](RideStore& store, const BulkImportOptions& options) {
            return importGarminExport(store, garmin.archives, garmin.summaries, replace, options);
        });
}

std::optional<ImportFlows::GarminExport> ImportFlows::inspectGarmin(const QString& folder) {
    GarminFolders folders = locateGarminFolders(folder.toStdString());
    if (!folders.uploadsFolder) {
        Dialogs::warning(m_window, QLatin1String(kGarminNotFoundTitle),
                         QLatin1String(kGarminNotFoundText));
        return std::nullopt;
    }
    GarminExport garmin;
    garmin.archives = listGarminArchives(*folders.uploadsFolder);
    if (garmin.archives.empty()) {
        Dialogs::warning(m_window, QLatin1String(kGarminNoArchivesTitle),
                         QLatin1String(kGarminNoArchivesText));
        return std::nullopt;
    }
    if (folders.fitnessFolder) garmin.summaries = loadGarminActivities(*folders.fitnessFolder);
    return garmin;
}

void ImportFlows::importArchive() {
    auto files = Dialogs::openFiles(m_window, {QStringLiteral("Select Vantrel Format files."),
                                               {},
                                               QLatin1String(kArchiveFilter),
                                               {},
                                               true});
    if (!files || files->isEmpty()) return;
    runArchiveFiles(pathsOf(*files));
}

void ImportFlows::importFiles() {
    auto files = Dialogs::openFiles(m_window, {QStringLiteral("Select activity files, ZIP archives "
                                                              "or Vantrel Format files."),
                                               {},
                                               QLatin1String(kAllImportsFilter),
                                               {},
                                               true});
    if (!files || files->isEmpty()) return;
    importPaths(*files);
}

void ImportFlows::importPaths(const QStringList& paths) {
    if (paths.isEmpty()) return;
    if (!m_isImporting && !m_reporting) return runOpenedFiles(paths, std::make_shared<OpenedRun>());
    for (const QString& path : paths) {
        if (m_queuedCharacters + path.size() > kMaxQueuedCharacters) {
            m_queueOverflowed = true;
            return;
        }
        m_queuedCharacters += path.size();
        m_queuedPaths << path;
    }
}

void ImportFlows::runOpenedFiles(const QStringList& paths,
                                 const std::shared_ptr<OpenedRun>& soFar) {
    beginRun();
    BulkImportOptions options = optionsReportingProgress();
    runWithOwnStore<OpenedImportResult>(
        this, m_store.path(),
        [paths, options](RideStore& store) { return importOpenedFiles(store, paths, options); },
        [this, soFar](const TaskOutcome<OpenedImportResult>& outcome) {
            append(soFar->result, outcome.value);
            if (outcome.error && !soFar->error) soFar->error = outcome.error;
            if (m_queueOverflowed) {
                soFar->result.result.failures.emplace_back(std::string(), kQueueOverflowText);
                ++soFar->result.result.failedCount;
            }
            m_queueOverflowed = false;
            if (m_queuedPaths.isEmpty()) return finishOpenedRun(*soFar);
            QStringList next = std::exchange(m_queuedPaths, {});
            m_queuedCharacters = 0;
            runOpenedFiles(next, soFar);
        });
}

void ImportFlows::finishOpenedRun(const OpenedRun& run) {
    m_isImporting = false;
    emit stateChanged();
    const PathImportResult& result = run.result.result;
    announceNewRecords(run.result.added);
    report([&] {
        if (run.error) return showImportError(fromStd(*run.error));
        if (result.saveError) return showSaveError(*result.saveError, result.imported);
        if (result.imported == 0 && result.skipped == 0 && result.failedCount > 0)
            return showImportError(fromStd(failureText(result.failedCount, result.failures)));
        showImportComplete(result.summary());
    });
}

void ImportFlows::report(const std::function<void()>& show) {
    m_reporting = true;
    show();
    m_reporting = false;
    if (m_queuedPaths.isEmpty() && !m_queueOverflowed) return;
    QStringList next = std::exchange(m_queuedPaths, {});
    m_queuedCharacters = 0;
    runOpenedFiles(next, std::make_shared<OpenedRun>());
}

void ImportFlows::importLooseFiles(const std::vector<std::filesystem::path>& files) {
    // Loose files leave the importing state alone; the open year sections stay open and what
    // came in is selected.
    struct LooseRun {
        BulkImportResult result;
        NewRecords added;
    };
    runWithOwnStore<LooseRun>(
        this, m_store.path(),
        [files, &logger = m_context.logger](RideStore& store) {
            std::set<std::int64_t> before = storedObjectIDs(store);
            BulkImportResult result = importStravaFiles(store, files, BulkImportOptions(logger));
            return LooseRun{result, newRecordsSince(store, before)};
        },
        [this](TaskOutcome<LooseRun> outcome) {
            const BulkImportResult& result = outcome.value.result;
            announceNewRecords(outcome.value.added);
            if (outcome.error) return showImportError(fromStd(*outcome.error));
            // Records whose save failed were never stored: that is no success to report.
            if (result.saveError) return showImportError(fromStd(*result.saveError));
            if (result.imported > 0) return showImportComplete(ImportSummary(result));
            if (!result.fileFailures.empty()) {
                const auto& [name, description] = result.fileFailures.back();
                showImportError(fromStd(name + ": " + description));
            }
        });
}

void ImportFlows::announceNewRecords(const NewRecords& added) {
    emit filesImported(QList<qint64>(added.objectIDs.begin(), added.objectIDs.end()),
                       QList<int>(added.years.begin(), added.years.end()));
    announceAdded(added);
}

void ImportFlows::announceAdded(const NewRecords& added) {
    if (added.objectIDs.empty()) return;
    emit activitiesAdded(QList<qint64>(added.objectIDs.begin(), added.objectIDs.end()));
}

void ImportFlows::showImportComplete(const ImportSummary& summary) {
    Dialogs::alert(m_window, QStringLiteral("Import Complete"), fromStd(summary.text()));
}

void ImportFlows::runBulkImport(
    const std::function<BulkImportResult(RideStore&, const BulkImportOptions&)>& run) {
    beginRun();
    BulkImportOptions options = optionsReportingProgress();
    using Run = WithNewRecords<BulkImportResult>;
    runWithOwnStore<Run>(
        this, m_store.path(),
        [run, options](RideStore& store) {
            return noticingNewRecords<BulkImportResult>(store, [&] { return run(store, options); });
        },
        [this](TaskOutcome<Run> outcome) {
            const BulkImportResult& result = outcome.value.result;
            announceAdded(outcome.value.added);
            if (outcome.error) showImportError(fromStd(*outcome.error));
            if (result.saveError) return failBulkRun(*result.saveError, result.saved);
            finishBulkRun(ImportSummary(result));
        });
}

void ImportFlows::runArchiveFiles(const std::vector<std::filesystem::path>& files) {
    beginRun();
    BulkImportOptions options = optionsReportingProgress();
    auto progress = [report = options.progress](int done, int total) {
        report(ImportProgress{total, done, total >= 1 ? static_cast<double>(done) / total : 0.0});
    };
    using Run = WithNewRecords<ArchiveImportResult>;
    runWithOwnStore<Run>(
        this, m_store.path(),
        [files, progress, &logger = m_context.logger](RideStore& store) {
            return noticingNewRecords<ArchiveImportResult>(
                store, [&] { return importArchiveFiles(store, files, logger, progress); });
        },
        [this](TaskOutcome<Run> outcome) {
            const ArchiveImportResult& result = outcome.value.result;
            for (const auto& failure : result.failures) {
                showImportError(fromStd(failure.fileName + ": " + failure.description));
            }
            if (outcome.error) showImportError(fromStd(*outcome.error));
            if (result.saveError) {
                announceAdded(outcome.value.added);
                return failBulkRun(*result.saveError, result.saved);
            }
            // As after loose files: the years the archive filled open, its activities selected.
            m_isImporting = false;
            emit stateChanged();
            announceNewRecords(outcome.value.added);
            report([&] {
                showImportComplete({result.imported, result.skipped, result.damagedSeries});
            });
        });
}

void ImportFlows::beginRun() {
    m_isImporting = true;
    m_total = 0;
    m_current = 0;
    m_progress = 0;
    emit stateChanged();
}

void ImportFlows::setProgress(int current, int total) {
    m_current = current;
    m_total = total;
    m_progress = total >= 1 ? static_cast<double>(current) / total : 0.0;
    emit stateChanged();
}

BulkImportOptions ImportFlows::optionsReportingProgress() {
    BulkImportOptions options(m_context.logger);
    QPointer<ImportFlows> self(this);
    options.progress = [self](const ImportProgress& progress) {
        if (!self) return;
        postToMain(self.data(), [self, progress] {
            if (self) self->setProgress(progress.importCurrent, progress.importTotal);
        });
    };
    return options;
}

void ImportFlows::finishBulkRun(const ImportSummary& summary) {
    m_isImporting = false;
    emit stateChanged();
    emit importFinished();
    report([&] { showImportComplete(summary); });
}

// A run whose activities could not be saved ends with the error alone, not "Import Complete".
void ImportFlows::failBulkRun(const std::string& saveError, int saved) {
    m_isImporting = false;
    emit stateChanged();
    emit importFinished();
    report([&] { showSaveError(saveError, saved); });
}

void ImportFlows::showSaveError(const std::string& saveError, int saved) {
    showImportError(fromStd("The imported activities could not be saved: " + saveError + "\n" +
                            storedBeforeFailureText(saved)));
}

void ImportFlows::showImportError(const QString& text) {
    Dialogs::warning(m_window, QStringLiteral("Import Error"),
                     text.isEmpty() ? QStringLiteral("Unknown error") : text);
}

}  // namespace vantrel
