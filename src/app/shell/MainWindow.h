#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "analysis/PersonalRecords.h"
#include "app/widgets/AppContext.h"
#include "model/RideStore.h"
#include "model/UnitSystem.h"

class QAction;
class QMenu;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace vantrel {

class ExportFlows;
class HistorySidebar;
class ImportFlows;
class LocatingFlows;
class WeatherFlows;
class ActivityDetailView;
class MapView;
class PlaceholderView;
class ProgressRow;
class StatisticsView;
class RecordsPanel;
class HeatmapPanel;
struct Uuid;

/// The application's main window: the "History" sidebar, the detail column and the toolbar
/// menus Import, Geocode and Export with the long flows they start.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(RideStore& store, AppContext context, QWidget* parent = nullptr);
    ~MainWindow() override;

    void reloadYearSummaries();
    void setUnitSystem(UnitSystem system);
    /// Polls the store for commits by other connections (the CLI, another window).
    void checkForRemoteChanges();
    /// Re-reads every held record and redraws the lists and the detail view: after changes by
    /// another connection, including this process's own background runs.
    void refreshFromStore();
    /// Shows the statistics in the detail column (the selection is cleared).
    void showStatistics();
    /// Selects the activity with this rideID in the sidebar (a record's activity, say).
    void revealActivity(const Uuid& rideID);
    /// "Undo Trim" (Ctrl+Z) for the activity on show, enabled while its trim can be undone.
    QAction* undoTrimAction() const { return m_undoTrim; }
    /// Re-reads whether the shown activity's trim can still be undone.
    void updateUndoTrim();
    /// The toolbar's buttons, left to right (Import, Geocode, Export, Settings…).
    const QList<QToolButton*>& toolbarButtons() const { return m_toolbarButtons; }
    /// Opens the activity holding a record and marks where on its chart it was set.
    void openRecord(const Uuid& rideID, RecordKind kind);
    /// The statistics page, once it has been shown.
    StatisticsView* statisticsView() const { return m_statistics; }

    HistorySidebar* sidebar() const { return m_sidebar; }
    ImportFlows* importFlows() const { return m_import; }
    ExportFlows* exportFlows() const { return m_export; }
    LocatingFlows* locatingFlows() const { return m_locating; }
    WeatherFlows* weatherFlows() const { return m_weather; }
    QMenu* importMenu() const { return m_importMenu; }
    QMenu* geocodeMenu() const { return m_geocodeMenu; }
    QMenu* exportMenu() const { return m_exportMenu; }
    /// The detail column's current page (prompt, multiple selection, detail view or statistics).
    QWidget* currentDetail() const;
    const std::vector<YearSummary>& yearSummaries() const { return m_allYearSummaries; }
    bool hasLoaded() const { return m_hasLoaded; }

  signals:
    /// The first-appearance steps have run (tests and benchmarks wait for it).
    void firstAppearanceDone();
    void settingsRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* buildDetailColumn();
    void buildToolbar();
    void buildUndoTrim();
    void orderTabStops();
    QToolButton* addMenuButton(const QString& title, const char* symbol, const QString& help,
                               QMenu* menu);
    void fillImportMenu();
    void fillGeocodeMenu();
    void fillExportMenu();
    void addExportSection(const QString& title, bool archive);
    void runFirstAppearance();
    void runAfterImport();
    void connectWeather();
    void showSelection();
    void updateProgressRows();
    std::vector<RideRef> selectedRides() const;
    std::optional<int> chooseYear(bool alwaysAsk);
    int countOfYear(int year) const;
    int totalActivityCount() const;

    RideStore& m_store;
    AppContext m_context;
    UnitSystem m_unitSystem;
    HistorySidebar* m_sidebar;
    ImportFlows* m_import;
    ExportFlows* m_export;
    LocatingFlows* m_locating;
    WeatherFlows* m_weather;
    QStackedWidget* m_detailStack;
    PlaceholderView* m_prompt;
    PlaceholderView* m_multiple;
    ActivityDetailView* m_detail = nullptr;
    StatisticsView* m_statistics = nullptr;
    RecordsPanel* m_records = nullptr;
    HeatmapPanel* m_heatmap = nullptr;
    /// One map for every selection, made when the first activity is shown: the web engine
    /// behind it is slow to start and is not needed before.
    std::unique_ptr<MapView> m_map;
    ProgressRow* m_exportProgress;
    ProgressRow* m_importProgress;
    QMenu* m_importMenu;
    QMenu* m_geocodeMenu;
    QMenu* m_exportMenu;
    QTimer* m_remoteChangeTimer;
    QAction* m_undoTrim = nullptr;
    QList<QToolButton*> m_toolbarButtons;
    std::vector<YearSummary> m_allYearSummaries;
    std::int64_t m_dataVersion = 0;
    bool m_hasLoaded = false;
    bool m_firstAppearanceScheduled = false;
};

}  // namespace vantrel
