#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <set>
#include <vector>

#include "app/widgets/AppContext.h"
#include "model/Cancellation.h"
#include "model/RideStore.h"

class QWidget;

namespace vantrel {

/// Which activities an export takes; resolved again on the worker's own store connection.
struct ExportScope {
    enum class Kind { selected, year, all } kind = Kind::all;
    std::set<std::int64_t> objectIDs;
    int year = 0;
    int count = 0;

    std::vector<RideRef> resolve(RideStore& store, bool withDetails) const;
};

/// The Export menu's commands and the window's export state. Files are encoded and written on
/// a worker thread; progress comes back to the window.
class ExportFlows : public QObject {
    Q_OBJECT
  public:
    ExportFlows(RideStore& store, AppContext context, QWidget* window);

    void exportGPX(const ExportScope& scope);
    void exportArchiveSelected(const std::vector<RideRef>& selected);
    void exportArchiveYear(int year, int count);
    void exportArchiveAll(const std::vector<YearSummary>& years);

    bool isExporting() const { return m_isExporting; }
    int exportTotal() const { return m_total; }
    int exportCurrent() const { return m_current; }
    double exportProgress() const { return m_progress; }
    /// Stops a running GPX export before its next file.
    void cancel();

  signals:
    void stateChanged();

  private:
    void begin(int total);
    void setProgress(int current);
    void finish(int exported, int skipped = 0, const QString& unwritten = {});
    void failArchive();
    void runArchiveFile(const ExportScope& scope, const QString& file);
    std::function<void(int, int)> progressReporter();

    RideStore& m_store;
    AppContext m_context;
    QWidget* m_window;
    bool m_isExporting = false;
    int m_total = 0;
    int m_current = 0;
    double m_progress = 0;
    CancellationTokenRef m_exportTask;
};

}  // namespace vantrel
