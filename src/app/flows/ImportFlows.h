#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/widgets/AppContext.h"
#include "import/BulkImportRun.h"
#include "import/GarminActivity.h"
#include "import/ImportSummary.h"

class QWidget;

namespace vantrel {

class RideStore;
struct NewRecords;

/// What the choosers offer: everything their flow reads (the readers take the inner type of a
/// gzip file, so "*.gz" covers ".gpx.gz", ".tcx.gz" and ".fit.gz").
inline constexpr const char* kStravaFilter =
    "Activity files and ZIP archives (*.gpx *.tcx *.fit *.gz *.zip)";
inline constexpr const char* kZipFilter = "ZIP archives (*.zip)";
inline constexpr const char* kArchiveFilter = "Vantrel Format files (*.json)";
inline constexpr const char* kAllImportsFilter =
    "Activity files, ZIP archives and Vantrel Format files (*.gpx *.tcx *.fit *.gz *.zip *.json)";

/// The Import menu's commands and the window's import state. Each run parses and writes on a
/// worker thread with its own store connection; the window is told when to reload.
class ImportFlows : public QObject {
    Q_OBJECT
  public:
    ImportFlows(RideStore& store, AppContext context, QWidget* window);

    void importFromStrava();
    void importFromZip();
    void importFromGarmin();
    void importArchive();
    /// "Import Files…": one chooser for every kind the imports read.
    void importFiles();
    /// Imports files and folders handed over from outside (command line, another instance,
    /// a drop) by kind, with the importing progress, and reports once at the end. Paths handed
    /// over while an import runs or its result is shown wait in one queue; the run that takes
    /// them up reports them together with what it follows, in one alert.
    void importPaths(const QStringList& paths);

    bool isImporting() const { return m_isImporting; }
    int importTotal() const { return m_total; }
    int importCurrent() const { return m_current; }
    double importProgress() const { return m_progress; }

  signals:
    void stateChanged();
    /// Every bulk import (ZIP, Strava export, Garmin) ends with this; the window then runs its
    /// after-import steps.
    void importFinished();
    /// An import of loose or opened files or of Vantrel Format files has ended; the window
    /// keeps its open sections and selects the new records (store identifiers, with the year
    /// of each).
    void filesImported(const QList<qint64>& objectIDs, const QList<int>& years);
    /// Any import has stored new activities (store identifiers); sent once per run.
    void activitiesAdded(const QList<qint64>& objectIDs);

  private:
    struct GarminExport {
        std::vector<std::filesystem::path> archives;
        std::vector<GarminActivity> summaries;
    };

    struct OpenedRun;
    void runOpenedFiles(const QStringList& paths, const std::shared_ptr<OpenedRun>& soFar);
    void finishOpenedRun(const OpenedRun& run);
    /// Shows a run's result; what is handed over meanwhile waits, and is imported afterwards.
    void report(const std::function<void()>& show);
    void importLooseFiles(const std::vector<std::filesystem::path>& files);
    void runBulkImport(
        const std::function<BulkImportResult(RideStore&, const BulkImportOptions&)>& run);
    void announceAdded(const NewRecords& added);
    void runArchiveFiles(const std::vector<std::filesystem::path>& files);
    void beginRun();
    void setProgress(int current, int total);
    BulkImportOptions optionsReportingProgress();
    void finishBulkRun(const ImportSummary& summary);
    void failBulkRun(const std::string& saveError, int saved);
    void showSaveError(const std::string& saveError, int saved);
    void showImportError(const QString& text);
    void showImportComplete(const ImportSummary& summary);
    void announceNewRecords(const NewRecords& added);
    std::optional<GarminExport> inspectGarmin(const QString& folder);

    RideStore& m_store;
    AppContext m_context;
    QWidget* m_window;
    bool m_isImporting = false;
    bool m_reporting = false;
    QStringList m_queuedPaths;
    qsizetype m_queuedCharacters = 0;
    bool m_queueOverflowed = false;
    int m_total = 0;
    int m_current = 0;
    double m_progress = 0;
};

}  // namespace vantrel
