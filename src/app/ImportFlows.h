#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "import/BulkImportRun.h"
#include "import/GarminActivity.h"

class QWidget;

namespace vantrel {

class RideStore;

/// The Import menu's commands and the window's import state. Each run parses and writes on a
/// worker thread with its own store connection; the window is told when to reload.
class ImportFlows : public QObject {
    Q_OBJECT
  public:
    ImportFlows(RideStore& store, QWidget* window);

    void importFromStrava();
    void importFromZip();
    void importFromGarmin();
    void importArchive();

    bool isImporting() const { return m_isImporting; }
    int importTotal() const { return m_total; }
    int importCurrent() const { return m_current; }
    double importProgress() const { return m_progress; }

  signals:
    void stateChanged();
    /// Every import ends with this; the window then runs its after-import steps.
    void importFinished();

  private:
    struct GarminExport {
        std::vector<std::filesystem::path> archives;
        std::vector<GarminActivity> summaries;
    };

    void importLooseFiles(const std::vector<std::filesystem::path>& files);
    void runBulkImport(std::function<BulkImportResult(RideStore&, const BulkImportOptions&)> run);
    void runArchiveFiles(const std::vector<std::filesystem::path>& files);
    void beginRun();
    void setProgress(int current, int total);
    BulkImportOptions optionsReportingProgress();
    void finishBulkRun(int imported, int skipped);
    void failBulkRun(const std::string& saveError);
    void showImportError(const QString& text);
    std::optional<GarminExport> inspectGarmin(const QString& folder);

    RideStore& m_store;
    QWidget* m_window;
    bool m_isImporting = false;
    int m_total = 0;
    int m_current = 0;
    double m_progress = 0;
};

}  // namespace vantrel
