#include "app/flows/ImportFlows.h"

#include <QWidget>
#include <set>

#include "app/flows/BackgroundTask.h"
#include "app/flows/OpenedFiles.h"
#include "app/widgets/Dialogs.h"
#include "archive/ArchiveImport.h"
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

}  // namespace

ImportFlows::ImportFlows(RideStore& store, QWidget* window)
    : QObject(window), m_store(store), m_window(window) {}

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
    beginRun();
    BulkImportOptions options = optionsReportingProgress();
    runWithOwnStore<OpenedImportResult>(
        this, m_store.path(),
        [paths, options](RideStore& store) { return importOpenedFiles(store, paths, options); },
        [this](TaskOutcome<OpenedImportResult> outcome) {
            m_isImporting = false;
            emit stateChanged();
            const OpenedImportResult& result = outcome.value;
            announceNewRecords(result.added);
            if (outcome.error) return showImportError(fromStd(*outcome.error));
            if (result.imported == 0 && result.skipped == 0 && !result.failures.empty())
                return showImportError(fromStd(result.failures.back()));
            showImportComplete(result.imported, result.skipped);
        });
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
        [files](RideStore& store) {
            std::set<std::int64_t> before = storedObjectIDs(store);
            BulkImportResult result = importStravaFiles(store, files);
            return LooseRun{result, newRecordsSince(store, before)};
        },
        [this](TaskOutcome<LooseRun> outcome) {
            const BulkImportResult& result = outcome.value.result;
            announceNewRecords(outcome.value.added);
            if (outcome.error) return showImportError(fromStd(*outcome.error));
            // Records whose save failed were never stored: that is no success to report.
            if (result.saveError) return showImportError(fromStd(*result.saveError));
            if (result.imported > 0) return showImportComplete(result.imported, 0);
            if (!result.fileFailures.empty()) {
                const auto& [name, description] = result.fileFailures.back();
                showImportError(fromStd(name + ": " + description));
            }
        });
}

void ImportFlows::announceNewRecords(const NewRecords& added) {
    emit filesImported(QList<qint64>(added.objectIDs.begin(), added.objectIDs.end()),
                       QList<int>(added.years.begin(), added.years.end()));
}

void ImportFlows::showImportComplete(int imported, int skipped) {
    Dialogs::alert(m_window, QStringLiteral("Import Complete"),
                   fromStd(importCompletionText(imported, skipped)));
}

void ImportFlows::runBulkImport(
    const std::function<BulkImportResult(RideStore&, const BulkImportOptions&)>& run) {
    beginRun();
    BulkImportOptions options = optionsReportingProgress();
    runWithOwnStore<BulkImportResult>(
        this, m_store.path(), [run, options](RideStore& store) { return run(store, options); },
        [this](TaskOutcome<BulkImportResult> outcome) {
            if (outcome.error) showImportError(fromStd(*outcome.error));
            if (outcome.value.saveError) return failBulkRun(*outcome.value.saveError);
            finishBulkRun(outcome.value.imported, outcome.value.skipped);
        });
}

void ImportFlows::runArchiveFiles(const std::vector<std::filesystem::path>& files) {
    beginRun();
    BulkImportOptions options = optionsReportingProgress();
    auto progress = [report = options.progress](int done, int total) {
        report(ImportProgress{total, done, total >= 1 ? static_cast<double>(done) / total : 0.0});
    };
    struct ArchiveRun {
        ArchiveImportResult result;
        NewRecords added;
    };
    runWithOwnStore<ArchiveRun>(
        this, m_store.path(),
        [files, progress](RideStore& store) {
            std::set<std::int64_t> before = storedObjectIDs(store);
            ArchiveImportResult result = importArchiveFiles(store, files, progress);
            return ArchiveRun{result, newRecordsSince(store, before)};
        },
        [this](TaskOutcome<ArchiveRun> outcome) {
            const ArchiveImportResult& result = outcome.value.result;
            for (const auto& failure : result.failures) {
                showImportError(fromStd(failure.fileName + ": " + failure.description));
            }
            if (outcome.error) showImportError(fromStd(*outcome.error));
            if (result.saveError) return failBulkRun(*result.saveError);
            // As after loose files: the years the archive filled open, its activities selected.
            m_isImporting = false;
            emit stateChanged();
            announceNewRecords(outcome.value.added);
            showImportComplete(result.imported, result.skipped);
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
    BulkImportOptions options;
    QPointer<ImportFlows> self(this);
    options.progress = [self](const ImportProgress& progress) {
        if (!self) return;
        postToMain(self.data(), [self, progress] {
            if (self) self->setProgress(progress.importCurrent, progress.importTotal);
        });
    };
    return options;
}

void ImportFlows::finishBulkRun(int imported, int skipped) {
    m_isImporting = false;
    emit stateChanged();
    emit importFinished();
    showImportComplete(imported, skipped);
}

// A run whose activities could not be saved ends with the error alone, not "Import Complete".
void ImportFlows::failBulkRun(const std::string& saveError) {
    m_isImporting = false;
    emit stateChanged();
    emit importFinished();
    showImportError(fromStd("The imported activities could not be saved: " + saveError));
}

void ImportFlows::showImportError(const QString& text) {
    Dialogs::warning(m_window, QStringLiteral("Import Error"),
                     text.isEmpty() ? QStringLiteral("Unknown error") : text);
}

}  // namespace vantrel
