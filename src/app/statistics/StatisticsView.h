#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "model/RideStore.h"
#include "model/UnitSystem.h"

class QChartView;
class QComboBox;
class QLabel;
class QTabWidget;

namespace vantrel {

/// The "Statistics" page of the detail column: a "Totals" tab (the chosen total per week,
/// month or year as bars, and each year's distance to date as lines) beside the "Records"
/// and "Heatmap" tabs. Everything is summed by the store from the record columns, so it
/// reloads quickly whenever the store changes.
class StatisticsView : public QWidget {
    Q_OBJECT
  public:
    StatisticsView(RideStore& store, UnitSystem units, QWidget* parent = nullptr);

    /// Puts `widget` in the tab called `title`, replacing (and deleting) what it held, or adds
    /// the tab when there is none of that title. The view takes ownership.
    void setTab(const QString& title, QWidget* widget);
    void setUnitSystem(UnitSystem units);
    /// Reads the totals afresh from the store.
    void reload();

    QTabWidget* tabs() const { return m_tabs; }
    const std::vector<PeriodTotals>& totals() const { return m_totals; }
    const std::vector<YearToDateDistance>& yearsToDate() const { return m_yearsToDate; }
    /// "12 activities · 340.2 km · 14:03:20 · 2,310 m" for the chosen range and kinds.
    QString summaryText() const;
    /// The figures of the chosen range, one named label each (hidden while there are none).
    QWidget* totalsBox() const { return m_totalsBox; }

  private:
    QWidget* buildTotalsTab();
    QWidget* buildControls();
    QWidget* buildTotals();
    PeriodTotals rangeTotals() const;
    /// The index of the shortest range that holds the newest activity.
    int rangeHoldingNewest();
    void showSummary();
    QComboBox* addChoice(const QString& accessibleName, const QStringList& items);
    void fillKindChoice();
    StatisticsQuery chosenQuery() const;
    std::vector<ActivityType> chosenKinds() const;
    void showTotals();
    void showYearsToDate();
    double shownValue(const PeriodTotals& totals) const;
    QString valueTitle() const;

    RideStore& m_store;
    UnitSystem m_units;
    QTabWidget* m_tabs;
    QComboBox* m_period = nullptr;
    QComboBox* m_kind = nullptr;
    QComboBox* m_range = nullptr;
    QComboBox* m_measure = nullptr;
    QLabel* m_summary = nullptr;
    QWidget* m_totalsBox = nullptr;
    std::array<QLabel*, 4> m_totalValues{};
    QChartView* m_bars = nullptr;
    QChartView* m_yearLines = nullptr;
    std::vector<PeriodTotals> m_totals;
    std::vector<YearToDateDistance> m_yearsToDate;
    bool m_failed = false;
};

}  // namespace vantrel
