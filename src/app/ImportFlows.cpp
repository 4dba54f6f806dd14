#include "app/ImportFlows.h"

#include <QFileInfo>
#include <QWidget>

#include "app/BackgroundTask.h"
#include "app/Dialogs.h"
#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"
#include "model/RideStore.h"

namespace vantrel {

namespace {

std::vector<std::filesystem::path> pathsOf(const QStringList& files) {
    std::vector<std::filesystem::path> paths;
    for (const QString& file : files) paths.emplace_back(file.toStdString());
    return paths;
}

bool isZip(const std::filesystem::path& file) {
    return QFileInfo(QString::fromStdString(file.string())).suffix().toLower() ==
           QLatin1String("zip");
}

QString plural(int count, const char* singular, const char* pluralForm) {
    return QString::number(count) + QLatin1String(count == 1 ? singular : pluralForm);
}

}  // namespace

ImportFlows::ImportFlows(RideStore& store, QWidget* window)
    : QObject(window), m_store(store), m_window(window) {}

void ImportFlows::importFromStrava() {
    auto files = Dialogs::openFiles(
        m_window, {QStringLiteral("Select Strava GPX files or Strava bulk export ZIP."),
                   {},
                   QStringLiteral("GPX, gzip and ZIP files (*.gpx *.gz *.zip)"),
                   {},
                   true});
    if (!files || files->isEmpty()) return;
    std::vector<std::filesystem::path> chosen = pathsOf(*files);
    std::vector<std::filesystem::path> archives;
    for (const auto& file : chosen) {
        if (isZip(file)) archives.push_back(file);
    }
    if (archives.empty()) {
        importLooseFiles(chosen, QStringLiteral("Strava"));
    } else {
        runZipImport(archives, QStringLiteral("Strava"));
    }
}

void ImportFlows::importFromZip() {
    auto files = Dialogs::openFiles(
        m_window, {QStringLiteral("Select ZIP files containing activity files (GPX, TCX, FIT)."),
                   {},
                   QStringLiteral("ZIP archives (*.zip)"),
                   {},
                   true});
    if (!files || files->isEmpty()) return;
    runZipImport(pathsOf(*files), QStringLiteral("ZIP Import"));
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
    std::optional<CoreFlows::GarminExport> garmin = inspectGarmin(*folder);
    bool replace = false;
    if (!garmin || !confirmGarmin(*garmin, replace)) return;
    runGarminImport(*garmin, replace);
}

std::optional<CoreFlows::GarminExport> ImportFlows::inspectGarmin(const QString& folder) {
    CoreFlows::GarminExport garmin;
    try {
        garmin = CoreFlows::inspectGarminExport(folder.toStdString());
    } catch (const std::exception& error) {
        showImportError(QString::fromStdString(error.what()));
        return std::nullopt;
    }
    if (!garmin.uploadsFolder) {
        Dialogs::alert(
            m_window, QStringLiteral("Garmin Data Not Found"),
            QStringLiteral("Could not find DI_CONNECT/DI-Connect-Uploaded-Files in the selected "
                           "folder. Make sure you selected the top-level Garmin export folder."));
        return std::nullopt;
    }
    if (garmin.archives.empty()) {
        Dialogs::alert(m_window, QStringLiteral("No Activity Files Found"),
                       QStringLiteral("No ZIP files found in DI-Connect-Uploaded-Files."));
        return std::nullopt;
    }
    return garmin;
}

bool ImportFlows::confirmGarmin(const CoreFlows::GarminExport& garmin, bool& replace) {
    int archives = static_cast<int>(garmin.archives.size());
    QString text = QStringLiteral("Found %1 with activity data.")
                       .arg(plural(archives, " ZIP file", " ZIP files"));
    if (garmin.summaryCount > 0) {
        text += QStringLiteral(
                    " Also found %1 activity records for metadata (activity type, HR, calories).")
                    .arg(garmin.summaryCount);
    }
    text += QStringLiteral("\n\nImport now?");
    std::optional<bool> answer = Dialogs::confirmWithCheckbox(
        m_window, QStringLiteral("Garmin Import"), text,
        QStringLiteral("Replace existing activities"), QStringLiteral("Import"));
    if (!answer) return false;
    replace = *answer;
    return true;
}

void ImportFlows::importArchive() {
    auto files = Dialogs::openFiles(m_window, {QStringLiteral("Select Vantrel Format files."),
                                               {},
                                               QStringLiteral("JSON files (*.json)"),
                                               {},
                                               true});
    if (!files || files->isEmpty()) return;
    runArchiveFiles(pathsOf(*files));
}

void ImportFlows::importLooseFiles(const std::vector<std::filesystem::path>& files,
                                   const QString& label) {
    std::string source = label.toStdString();
    runWithOwnStore<FileListImportResult>(
        this, m_store.path(),
        [files, source](RideStore& store) { return importFileList(store, files, source); },
        [this](TaskOutcome<FileListImportResult> outcome) {
            const FileListImportResult& result = outcome.value;
            if (outcome.error) {
                showImportError(QString::fromStdString(*outcome.error));
            } else if (result.imported == 0 && !result.failures.empty()) {
                const auto& [name, description] = result.failures.back();
                showImportError(QString::fromStdString(name + ": " + description));
            }
            emit importFinished();
        });
}

void ImportFlows::runZipImport(const std::vector<std::filesystem::path>& archives,
                               const QString& label) {
    beginRun();
    std::string source = label.toStdString();
    CoreFlows::Progress progress = progressReporter();
    runWithOwnStore<CoreFlows::BulkImportResult>(
        this, m_store.path(),
        [archives, source, progress](RideStore& store) {
            return CoreFlows::importZipArchives(store, archives, source, progress);
        },
        [this](TaskOutcome<CoreFlows::BulkImportResult> outcome) {
            if (outcome.error) showImportError(QString::fromStdString(*outcome.error));
            finishBulkRun(outcome.value);
        });
}

void ImportFlows::runGarminImport(const CoreFlows::GarminExport& garmin, bool replace) {
    beginRun();
    CoreFlows::Progress progress = progressReporter();
    runWithOwnStore<CoreFlows::BulkImportResult>(
        this, m_store.path(),
        [garmin, replace, progress](RideStore& store) {
            return CoreFlows::importGarminExport(store, garmin, replace, progress);
        },
        [this](TaskOutcome<CoreFlows::BulkImportResult> outcome) {
            if (outcome.error) showImportError(QString::fromStdString(*outcome.error));
            finishBulkRun(outcome.value);
        });
}

void ImportFlows::runArchiveFiles(const std::vector<std::filesystem::path>& files) {
    struct Totals {
        CoreFlows::BulkImportResult counts;
        std::vector<std::pair<std::string, std::string>> failures;
    };
    beginRun();
    CoreFlows::Progress progress = progressReporter();
    runWithOwnStore<Totals>(
        this, m_store.path(),
        [files, progress](RideStore& store) {
            Totals totals;
            for (const auto& file : files) {
                try {
                    auto [imported, skipped] = CoreFlows::importArchiveFile(store, file, progress);
                    totals.counts.imported += imported;
                    totals.counts.skipped += skipped;
                } catch (const std::exception& error) {
                    std::string name = file.filename().string();
                    PersistentLogger::shared().log(
                        LogLevel::error, "Import",
                        "Archive import failed for " + name + ": " + error.what());
                    totals.failures.emplace_back(name, error.what());
                }
            }
            PersistentLogger::shared().log(
                LogLevel::info, "Import",
                "Archive import: " + std::to_string(totals.counts.imported) + " imported, " +
                    std::to_string(totals.counts.skipped) + " skipped");
            return totals;
        },
        [this](TaskOutcome<Totals> outcome) {
            for (const auto& [name, description] : outcome.value.failures) {
                showImportError(QString::fromStdString(name + ": " + description));
            }
            if (outcome.error) showImportError(QString::fromStdString(*outcome.error));
            finishBulkRun(outcome.value.counts);
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

CoreFlows::Progress ImportFlows::progressReporter() {
    QPointer<ImportFlows> self(this);
    return [self](int current, int total) {
        if (!self) return;
        postToMain(self.data(), [self, current, total] {
            if (self) self->setProgress(current, total);
        });
    };
}

void ImportFlows::finishBulkRun(const CoreFlows::BulkImportResult& result) {
    m_isImporting = false;
    emit stateChanged();
    emit importFinished();
    showImportComplete(result.imported, result.skipped);
}

void ImportFlows::showImportError(const QString& text) {
    Dialogs::alert(m_window, QStringLiteral("Import Error"),
                   text.isEmpty() ? QStringLiteral("Unknown error") : text);
}

void ImportFlows::showImportComplete(int imported, int skipped) {
    Dialogs::alert(m_window, QStringLiteral("Import Complete"),
                   QStringLiteral("Imported %1. Skipped %2.")
                       .arg(plural(imported, " activity", " activities"),
                            plural(skipped, " duplicate", " duplicates")));
}

}  // namespace vantrel
