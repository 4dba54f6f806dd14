#pragma once

#include <QGroupBox>

#include "analysis/RideDetail.h"
#include "model/PersistedRide.h"
#include "model/UnitSystem.h"

class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QTableWidget;

namespace vantrel {

/// "Splits": a segmented choice of the split length, the table of splits with their pace and
/// elevation change, and the average pace. Picking a length recomputes the table and is
/// remembered for this activity only.
class SplitsSection : public QGroupBox {
    Q_OBJECT
  public:
    /// `detail` belongs to the detail view and outlives the section; a picked length is
    /// remembered in `preferences`.
    SplitsSection(RideDetail& detail, const PersistedRide& ride, UnitSystem system,
                  Preferences& preferences, QWidget* parent = nullptr);

    /// Acts as a click on the segment of that length (it is offered when it is not already).
    void choose(SplitDistance distance);
    SplitDistance current() const { return m_detail.splitDistance; }
    QTableWidget* table() const { return m_table; }
    /// The segment labels in display order.
    QStringList choiceLabels() const;

  private:
    QHBoxLayout* buildChoice();
    void fillTable();

    RideDetail& m_detail;
    const PersistedRide& m_ride;
    UnitSystem m_unitSystem;
    Preferences& m_preferences;
    QButtonGroup* m_choice;
    QTableWidget* m_table;
    QLabel* m_averagePace;
};

}  // namespace vantrel
