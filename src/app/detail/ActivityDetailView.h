#pragma once

#include <QWidget>
#include <optional>

#include "analysis/PersonalRecords.h"
#include "analysis/RideDetail.h"
#include "app/map/MapView.h"
#include "app/widgets/AppContext.h"
#include "model/RideStore.h"
#include "model/UnitSystem.h"

class QFormLayout;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace vantrel {

class ConditionsSection;
class PhotosSection;
class RideChartView;

/// One activity in the detail column: the map beside a scrolling column with the chart, the
/// statistics in titled sections, where it came from and the single-activity exports; the trim
/// menu and, for location-only kinds, the location picker. Built afresh for every selection.
class ActivityDetailView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDetailWidth = 420;
    static constexpr int kDetailMinWidth = 340;
    static constexpr int kMapMinWidth = 260;

    /// `map` is borrowed (the window keeps one map for every selection, since starting a web
    /// view is slow); null shows no map. Give it back with `releaseMap` before it is reused.
    ActivityDetailView(RideStore& store, AppContext context, RideRef ride, UnitSystem system,
                       MapView* map, QWidget* parent = nullptr);
    ~ActivityDetailView() override;

    void setUnitSystem(UnitSystem system);
    const RideRef& ride() const { return m_ride; }
    /// Reads the record again and recomputes everything derived from it (after a trim, an undo,
    /// a location change, or a change written by another connection).
    void reload();
    /// Detaches the shared map's widget and listener from this view.
    void releaseMap();

    /// The value shown for a row label in any section ("" when there is no such row).
    QString valueOf(const QString& label) const;
    QStringList sectionTitles() const;
    RideChartView* chart() const { return m_chart; }
    QSplitter* splitter() const { return m_splitter; }
    /// The scrolling column beside the map.
    QScrollArea* column() const { return m_scroll; }
    QToolButton* moreActionsButton() const { return m_moreActions; }
    /// "Set Location" / "Move Pin", or null when the activity has a route.
    QPushButton* locationButton() const { return m_locationButton; }
    const RideDetail& detail() const { return m_detail; }
    std::optional<double> scrubberProgress() const;

    /// The trim menu's commands as they read at this moment.
    QStringList moreActionTitles();
    void trimActivity();
    /// Shades on the chart where the activity's record of this kind was set (the fastest
    /// stretch over the record's distance); records of the whole activity mark nothing.
    void markRecord(RecordKind kind);
    /// Whether the last trim can still be undone (the menu then offers "Undo Trim").
    bool canUndoTrim() const;
    void undoTrim();
    void showTrimHint();
    void openLocationPicker();
    /// The picker's commit: the one-point route at `coordinate`, then its town in the background.
    void setPickedLocation(CodableCoordinate coordinate);

    void exportGPX();
    void exportArchive();

  signals:
    /// The record was changed here (trim, undo, location); rows elsewhere may show it.
    void rideEdited();

  private:
    QWidget* buildMapPane();
    QWidget* buildColumn();
    void rebuild();
    void showOnMap();
    void updateMarker();
    void cameraSettled(const MapCamera& camera, bool byUser);
    void fillActionsMenu();
    void saveStore();
    void afterEdit();
    QGroupBox* addSection(const QString& title);
    QLabel* addRow(QGroupBox* section, const char* symbol, const QString& label,
                   const QString& value);
    void buildSummary();
    void buildHealth();
    void addIfAny(ConditionsSection* section);
    void addPhotos(PhotosSection* section);
    /// A photo's position becomes the place of an activity without a route.
    void placeAtPhoto(double latitude, double longitude);
    void buildSource();
    void buildExport();

    RideStore& m_store;
    AppContext m_context;
    RideRef m_ride;
    UnitSystem m_unitSystem;
    RideDetail m_detail;
    MapView* m_map;
    bool m_mapReadyForSave = false;
    QSplitter* m_splitter = nullptr;
    QWidget* m_mapPane = nullptr;
    QPushButton* m_locationButton = nullptr;
    QToolButton* m_moreActions = nullptr;
    QMenu* m_actionsMenu = nullptr;
    RideChartView* m_chart = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_sections = nullptr;
    QTimer* m_saveDivider = nullptr;
};

}  // namespace vantrel
