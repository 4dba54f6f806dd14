#pragma once

#include <QWidget>
#include <cstdint>
#include <set>
#include <vector>

#include "app/sidebar/HistoryFilterRunner.h"
#include "model/RideStore.h"
#include "model/UnitSystem.h"

class QLabel;
class QLineEdit;
class QStackedWidget;
class QToolButton;
class QTreeView;

namespace vantrel {

class HistoryFilterRunner;
class HistoryModel;
class LocatingStatusView;
class PlaceholderView;
class ProgressRow;

/// The main window's sidebar "History": the years with their lazily loaded activity lists
/// (or the empty state), the locating status area and the footer.
class HistorySidebar : public QWidget {
    Q_OBJECT
  public:
    HistorySidebar(RideStore& store, const QString& appVersion, QWidget* parent = nullptr);

    /// Replaces the years; open sections stay open and the selection is kept where its
    /// records still exist.
    void setSummaries(const std::vector<YearSummary>& summaries);
    void setUnitSystem(UnitSystem system);
    /// Opens a year's section; its list loads after the section has been drawn.
    void expandYear(int year);
    void collapseAll();
    /// Opens every year (loading its list).
    void expandAll();
    /// Selects every activity row that is shown (in open years, passing the filter).
    void selectAllShown();
    /// Puts the keyboard in the filter field, its text selected.
    void focusFilter();
    /// Shows only activities whose kind, place or date contain every word of `text`: the
    /// years count their matches and those without one are hidden; an open year lists only its
    /// matches. Empty text shows everything. The answer comes from a search off the main
    /// thread (`filterApplied` tells when it is shown).
    void setFilterText(const QString& text);
    QLineEdit* filterField() const { return m_filter; }
    /// "Delete Activity…" for the selected activities: asks, deletes them with their photos
    /// while a progress bar below the list counts them (`activitiesDeleted` tells when done).
    /// Ignored while a deletion runs.
    void deleteSelected();
    /// True from the confirmation until the deletion has ended.
    bool isDeleting() const { return m_deleting; }
    /// The progress of a running deletion; hidden otherwise.
    ProgressRow* deletionProgress() const { return m_deletionProgress; }
    const std::set<int>& expandedYears() const { return m_expandedYears; }
    /// Selects the newest activity of the year once its list has loaded, unless something
    /// is selected by then.
    void selectNewestOfYear(int year);
    void clearSelection();
    void selectRides(const std::set<std::int64_t>& objectIDs);
    std::vector<RideRef> selectedRides() const;
    /// Opens the years given and selects the records (store identifiers) found there, the
    /// first of them scrolled into view; open sections stay open.
    void revealRides(const QList<qint64>& objectIDs, const QList<int>& years);

    HistoryModel* model() const { return m_model; }
    QTreeView* tree() const { return m_tree; }
    LocatingStatusView* locatingStatus() const { return m_locating; }
    /// The status area of a weather run, below the locating one.
    LocatingStatusView* weatherStatus() const { return m_weather; }
    PlaceholderView* emptyState() const { return m_empty; }
    QString footerCountText() const;
    QToolButton* statisticsEntry() const { return m_statisticsEntry; }

  signals:
    void selectionChanged();
    /// The empty state's "Import Files…" was clicked.
    void importRequested();
    /// A year's list finished loading (for the benchmarks and tests).
    void yearLoaded(int year);
    /// Activities were deleted from the store from the list.
    void activitiesDeleted();
    /// The "Statistics" entry at the top was clicked.
    void statisticsRequested();
    /// The answer to the filter's latest text is shown (for the benchmarks and tests).
    void filterApplied();

  private:
    QWidget* buildStatisticsEntry();
    QWidget* buildHeader();
    QWidget* buildFilter();
    QWidget* buildList();
    QWidget* buildFooter(const QString& appVersion);
    void onExpanded(const QModelIndex& index);
    void loadYear(int year);
    void afterYearLoaded(int year);
    void showLoadingIndicators();
    void showContextMenu(const QPoint& position);
    void applyFilter();
    void applyFilterToYear(int yearRow);

    RideStore& m_store;
    HistoryModel* m_model;
    QTreeView* m_tree;
    QStackedWidget* m_stack;
    PlaceholderView* m_empty;
    LocatingStatusView* m_locating;
    LocatingStatusView* m_weather;
    QLabel* m_footerCount;
    QLineEdit* m_filter;
    PlaceholderView* m_noMatches;
    QToolButton* m_statisticsEntry = nullptr;
    QStringList m_filterWords;
    HistoryFilterRunner* m_filterRunner;
    /// The matches of `m_filterWords`; absent until the search has answered.
    HistoryFilterRunner::ResultRef m_filterResult;
    std::set<int> m_expandedBeforeFilter;
    std::set<int> m_expandedYears;
    std::set<std::int64_t> m_selection;
    int m_pendingNewestYear = 0;
    ProgressRow* m_deletionProgress;
    bool m_deleting = false;
};

}  // namespace vantrel
