#pragma once

#include <QWidget>
#include <optional>

#include "analysis/RideDetail.h"
#include "model/RideStore.h"
#include "model/UnitSystem.h"

class QFormLayout;
class QGroupBox;
class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;

namespace vantrel {

class RideChartView;

/// One activity in the detail column: a scrolling column with the chart, the statistics in
/// titled sections, where it came from and the single-activity exports; the trim menu. Built
/// afresh for every selection.
class ActivityDetailView : public QWidget {
    Q_OBJECT
  public:
    ActivityDetailView(RideStore& store, RideRef ride, UnitSystem system,
                       QWidget* parent = nullptr);

    void setUnitSystem(UnitSystem system);
    const RideRef& ride() const { return m_ride; }
    /// Reads the record again and recomputes everything derived from it (after a trim, an undo,
    /// or a change written by another connection).
    void reload();

    /// The value shown for a row label in any section ("" when there is no such row).
    QString valueOf(const QString& label) const;
    QStringList sectionTitles() const;
    RideChartView* chart() const { return m_chart; }
    QToolButton* moreActionsButton() const { return m_moreActions; }
    const RideDetail& detail() const { return m_detail; }
    std::optional<double> scrubberProgress() const;

    /// The trim menu's commands as they read at this moment.
    QStringList moreActionTitles();
    void trimActivity();
    void undoTrim();
    void showTrimHint();

    void exportGPX();
    void exportArchive();

  signals:
    /// The record was changed here (trim, undo); rows elsewhere may show it.
    void rideEdited();

  private:
    QWidget* buildColumn();
    void rebuild();
    void fillActionsMenu();
    void saveStore();
    void afterEdit();
    QGroupBox* addSection(const QString& title);
    void addRow(QGroupBox* section, const char* symbol, const QString& label, const QString& value);
    void buildSummary();
    void buildHealth();
    void buildSource();
    void buildExport();

    RideStore& m_store;
    RideRef m_ride;
    UnitSystem m_unitSystem;
    RideDetail m_detail;
    QToolButton* m_moreActions = nullptr;
    QMenu* m_actionsMenu = nullptr;
    RideChartView* m_chart = nullptr;
    QWidget* m_content = nullptr;
    QVBoxLayout* m_sections = nullptr;
};

}  // namespace vantrel
