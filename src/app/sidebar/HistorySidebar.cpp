#include "app/sidebar/HistorySidebar.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/flows/ActivityDeletion.h"
#include "app/sidebar/HistoryDelegate.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistoryTreeView.h"
#include "app/sidebar/LocatingStatusView.h"
#include "app/widgets/DisplayFormat.h"
#include "app/widgets/Icons.h"
#include "app/widgets/PlaceholderView.h"
#include "app/widgets/ProgressRow.h"

namespace vantrel {

namespace {
// How many rows a filter may load to open its matching years by itself.
constexpr std::int64_t kFilterOpensUpTo = 2000;
}  // namespace

HistorySidebar::HistorySidebar(RideStore& store, const QString& appVersion, QWidget* parent)
    : QWidget(parent),
      m_store(store),
      m_model(new HistoryModel(store, this)),
      m_tree(new HistoryTreeView),
      m_stack(new QStackedWidget),
      m_empty(new PlaceholderView(
          "bicycle", QStringLiteral("No Activities Yet"),
          QStringLiteral("Import GPX, TCX or FIT files, ZIP archives or an account export to get "
                         "started."))),
      m_locating(new LocatingStatusView),
      m_weather(new LocatingStatusView),
      m_footerCount(new QLabel),
      m_filter(new QLineEdit),
      m_noMatches(new PlaceholderView("magnifyingglass", QStringLiteral("No Matches"),
                                      QStringLiteral("No activity matches the filter."))),
      m_filterRunner(new HistoryFilterRunner(store, this)),
      m_deletionProgress(new ProgressRow) {
    setMinimumWidth(280);
    setMaximumWidth(340);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildStatisticsEntry());
    layout->addWidget(buildHeader());
    layout->addWidget(buildFilter());
    m_stack->addWidget(m_empty);
    m_stack->addWidget(buildList());
    m_stack->addWidget(m_noMatches);
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_locating);
    m_weather->setSubject(QStringLiteral("Fetching Weather"));
    layout->addWidget(m_weather);
    m_deletionProgress->setAccessibleName(QStringLiteral("Deleting activities"));
    m_deletionProgress->hide();
    layout->addWidget(m_deletionProgress);
    layout->addWidget(buildFooter(appVersion));
    QPushButton* import = m_empty->addButton(QStringLiteral("Import Files…"));
    connect(import, &QPushButton::clicked, this, &HistorySidebar::importRequested);
    connect(m_filterRunner, &HistoryFilterRunner::resultReady, this,
            [this](const HistoryFilterRunner::ResultRef& result) {
                m_filterResult = result;
                applyFilter();
                emit filterApplied();
            });
    setSummaries({});
}

QWidget* HistorySidebar::buildStatisticsEntry() {
    auto* entry = new QToolButton;
    entry->setText(QStringLiteral("Statistics"));
    entry->setAccessibleName(QStringLiteral("Statistics"));
    entry->setToolTip(QStringLiteral("Totals per week, month and year, records and heatmap"));
    entry->setIcon(Icons::icon("chart.bar.fill", palette().color(QPalette::ButtonText)));
    entry->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    entry->setAutoRaise(true);
    entry->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(entry, &QToolButton::clicked, this, &HistorySidebar::statisticsRequested);
    m_statisticsEntry = entry;
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addWidget(entry);
    return box;
}

QWidget* HistorySidebar::buildHeader() {
    auto* title = new QLabel(QStringLiteral("History"));
    QFont font = title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    title->setFont(font);
    title->setContentsMargins(10, 8, 10, 6);
    return title;
}

QWidget* HistorySidebar::buildFilter() {
    m_filter->setPlaceholderText(QStringLiteral("Filter by kind, place or date"));
    m_filter->setAccessibleName(QStringLiteral("Filter activities"));
    m_filter->setClearButtonEnabled(true);
    // The field's own clear button is an icon without a name.
    for (auto* button : m_filter->findChildren<QToolButton*>())
        button->setAccessibleName(QStringLiteral("Clear filter"));
    // Escape empties a filter, as in any search field; an empty one lets the key go on.
    auto* clear = new QAction(QStringLiteral("Clear filter"), m_filter);
    clear->setShortcut(QKeySequence(Qt::Key_Escape));
    clear->setShortcutContext(Qt::WidgetShortcut);
    connect(clear, &QAction::triggered, m_filter, &QLineEdit::clear);
    m_filter->addAction(clear);
    connect(m_filter, &QLineEdit::textChanged, clear,
            [clear](const QString& text) { clear->setEnabled(!text.isEmpty()); });
    clear->setEnabled(false);
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 0, 8, 6);
    layout->addWidget(m_filter);
    connect(m_filter, &QLineEdit::textChanged, this, &HistorySidebar::setFilterText);
    // Down from the field goes on into the list, as in a search field.
    connect(m_filter, &QLineEdit::returnPressed, this, [this] { m_tree->setFocus(); });
    return box;
}

QWidget* HistorySidebar::buildList() {
    m_tree->setModel(m_model);
    m_tree->setItemDelegate(new HistoryDelegate(m_tree));
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_tree->setAnimated(false);
    m_tree->setIndentation(12);
    m_tree->setAccessibleName(QStringLiteral("History"));
    connect(m_tree, &QTreeView::expanded, this, &HistorySidebar::onExpanded);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QTreeView::customContextMenuRequested, this, &HistorySidebar::showContextMenu);
    connect(static_cast<HistoryTreeView*>(m_tree), &HistoryTreeView::deletePressed, this,
            &HistorySidebar::deleteSelected);
    connect(m_tree, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { m_expandedYears.erase(m_model->yearOf(index)); });
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        m_selection.clear();
        for (const auto& ride : selectedRides()) m_selection.insert(ride->objectID);
        emit selectionChanged();
    });
    return m_tree;
}

QWidget* HistorySidebar::buildFooter(const QString& appVersion) {
    auto* footer = new QWidget;
    auto* layout = new QVBoxLayout(footer);
    layout->setContentsMargins(10, 6, 10, 8);
    layout->setSpacing(2);
    for (QLabel* label : {new QLabel(QStringLiteral("Version: ") + appVersion), m_footerCount}) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        label->setFont(font);
        label->setForegroundRole(QPalette::PlaceholderText);
        layout->addWidget(label);
    }
    return footer;
}

void HistorySidebar::setSummaries(const std::vector<YearSummary>& summaries) {
    std::int64_t total = 0;
    for (const auto& summary : summaries) total += summary.count;
    m_footerCount->setText(DisplayFormat::activityCount(total));
    m_stack->setCurrentIndex(summaries.empty() ? 0 : 1);

    std::set<std::int64_t> keptSelection = m_selection;
    std::set<int> openYears = m_expandedYears;
    {
        QSignalBlocker blocker(m_tree->selectionModel());
        m_model->setSummaries(summaries);
    }
    // Whatever changed the years may have changed what the filter finds.
    m_filterRunner->rebuild();
    m_expandedYears.clear();
    for (int year : openYears) {
        QModelIndex index = m_model->yearIndex(year);
        if (!index.isValid()) continue;
        m_model->loadYear(index.row());
        m_expandedYears.insert(year);
        m_tree->expand(index);
    }
    applyFilter();
    selectRides(keptSelection);
    // Records removed elsewhere leave the selection without any notice from the view.
    std::set<std::int64_t> current;
    for (const auto& ride : selectedRides()) current.insert(ride->objectID);
    if (current != keptSelection) {
        m_selection = current;
        emit selectionChanged();
    }
}

void HistorySidebar::setUnitSystem(UnitSystem system) {
    m_model->setUnitSystem(system);
    m_tree->viewport()->update();
}

void HistorySidebar::expandYear(int year) {
    QModelIndex index = m_model->yearIndex(year);
    if (index.isValid()) m_tree->expand(index);
}

void HistorySidebar::collapseAll() {
    m_tree->collapseAll();
    m_expandedYears.clear();
}

void HistorySidebar::showContextMenu(const QPoint& position) {
    QModelIndex index = m_tree->indexAt(position);
    if (!m_model->rideAt(index)) return;
    // A right click outside the selection acts on that row alone, as in file managers.
    if (!m_tree->selectionModel()->isSelected(index)) {
        m_tree->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        m_tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    QMenu menu(this);
    size_t count = selectedRides().size();
    menu.addAction(count == 1 ? QStringLiteral("Delete Activity…")
                              : QStringLiteral("Delete %1 Activities…").arg(count),
                   this, &HistorySidebar::deleteSelected);
    menu.exec(m_tree->viewport()->mapToGlobal(position));
}

void HistorySidebar::deleteSelected() {
    if (m_deleting) return;
    m_deleting = true;
    ActivityDeletion::confirmAndDelete(this, m_store, selectedRides(), m_deletionProgress,
                                       [this](bool deleted) {
                                           m_deleting = false;
                                           if (deleted) emit activitiesDeleted();
                                       });
}

void HistorySidebar::expandAll() {
    for (int row = 0; row < m_model->rowCount(); ++row) {
        m_model->loadYear(row);
        m_tree->expand(m_model->index(row, 0));
    }
}

void HistorySidebar::selectAllShown() {
    // One range per run of shown rows: a range per row makes selecting thousands take seconds.
    QItemSelection selection;
    for (int yearRow = 0; yearRow < m_model->rowCount(); ++yearRow) {
        QModelIndex year = m_model->index(yearRow, 0);
        if (m_tree->isRowHidden(yearRow, {}) || !m_tree->isExpanded(year)) continue;
        int rows = m_model->rowCount(year);
        int runStart = -1;
        for (int row = 0; row <= rows; ++row) {
            bool shown = row < rows && m_model->rideAt(m_model->index(row, 0, year)) &&
                         !m_tree->isRowHidden(row, year);
            if (shown && runStart < 0) runStart = row;
            if (shown || runStart < 0) continue;
            selection.select(m_model->index(runStart, 0, year), m_model->index(row - 1, 0, year));
            runStart = -1;
        }
    }
    m_tree->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void HistorySidebar::focusFilter() {
    m_filter->setFocus(Qt::ShortcutFocusReason);
    m_filter->selectAll();
}

void HistorySidebar::setFilterText(const QString& text) {
    if (m_filter->text() != text) m_filter->setText(text);  // comes back here through the signal
    QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words == m_filterWords) return;
    // The filter opens every year with a match; clearing it gives back the sections the user
    // had open.
    if (m_filterWords.isEmpty()) m_expandedBeforeFilter = m_expandedYears;
    m_filterWords = words;
    if (!m_filterWords.isEmpty()) {
        // Until the search answers, the list keeps showing the previous answer.
        m_filterRunner->search(text);
        return;
    }
    m_filterResult.reset();
    applyFilter();
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QModelIndex year = m_model->index(row, 0);
        if (!m_expandedBeforeFilter.count(m_model->yearOf(year))) m_tree->collapse(year);
    }
}

void HistorySidebar::applyFilter() {
    bool filtering = !m_filterWords.isEmpty() && m_filterResult;
    if (!m_filterWords.isEmpty() && !m_filterResult) return;  // its answer applies it
    m_model->setMatchCounts(filtering ? std::optional(m_filterResult->countsByYear) : std::nullopt);
    bool anyShown = false;
    // Matching years open by themselves only while that loads few rows: a long history shows
    // its years with their counts, and the rows of a year when it is opened.
    std::int64_t openingBudget = kFilterOpensUpTo;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QModelIndex year = m_model->index(row, 0);
        std::int64_t matches = 0;
        if (filtering) {
            auto found = m_filterResult->countsByYear.find(m_model->yearOf(year));
            if (found != m_filterResult->countsByYear.end()) matches = found->second;
        }
        m_tree->setRowHidden(row, {}, filtering && matches == 0);
        anyShown = anyShown || !m_tree->isRowHidden(row, {});
        if (m_model->isYearLoaded(row)) applyFilterToYear(row);
        if (!filtering || matches == 0 || m_tree->isExpanded(year)) continue;
        std::int64_t size = m_model->isYearLoaded(row) ? 0 : m_model->yearCount(row);
        if (size > openingBudget) continue;
        openingBudget -= size;
        m_model->loadYear(row);
        applyFilterToYear(row);
        m_tree->expand(year);
    }
    // An empty history keeps its own empty state; a filter that hides everything says so.
    if (m_stack->currentWidget() != m_empty)
        m_stack->setCurrentWidget(anyShown ? static_cast<QWidget*>(m_tree) : m_noMatches);
}

void HistorySidebar::applyFilterToYear(int yearRow) {
    if (yearRow < 0) return;
    QModelIndex year = m_model->index(yearRow, 0);
    bool filtering = !m_filterWords.isEmpty() && m_filterResult;
    QItemSelection hiddenSelected;
    for (int row = 0; row < m_model->rowCount(year); ++row) {
        QModelIndex index = m_model->index(row, 0, year);
        RideRef ride = m_model->rideAt(index);
        bool shown = !filtering || (ride && m_filterResult->objectIDs.count(ride->objectID));
        m_tree->setRowHidden(row, year, !shown);
        if (!shown && m_tree->selectionModel()->isSelected(index))
            hiddenSelected.select(index, index);
    }
    // What the filter hides cannot stay selected: commands would act on rows nobody sees.
    m_tree->selectionModel()->select(hiddenSelected, QItemSelectionModel::Deselect);
}

void HistorySidebar::onExpanded(const QModelIndex& index) {
    int year = m_model->yearOf(index);
    m_expandedYears.insert(year);
    if (m_model->isYearLoaded(index.row())) {
        afterYearLoaded(year);
        return;
    }
    showLoadingIndicators();
    // Let the section draw with its progress indicator before the fetch takes the thread.
    QTimer::singleShot(15, this, [this, year] { loadYear(year); });
}

void HistorySidebar::showLoadingIndicators() {
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QModelIndex child = m_model->index(0, 0, m_model->index(row, 0));
        if (!child.isValid() || m_model->kindOf(child) != HistoryModel::ItemKind::loading) continue;
        if (m_tree->indexWidget(child)) continue;
        auto* busy = new QProgressBar;
        busy->setRange(0, 0);
        busy->setMaximumHeight(12);
        busy->setAccessibleName(QStringLiteral("Loading…"));
        m_tree->setIndexWidget(child, busy);
    }
}

void HistorySidebar::loadYear(int year) {
    QModelIndex index = m_model->yearIndex(year);
    if (!index.isValid()) return;
    m_model->loadYear(index.row());
    afterYearLoaded(year);
}

void HistorySidebar::afterYearLoaded(int year) {
    if (m_filterResult) applyFilterToYear(m_model->yearIndex(year).row());
    if (m_pendingNewestYear == year) {
        m_pendingNewestYear = 0;
        QModelIndex first = m_model->index(0, 0, m_model->yearIndex(year));
        if (m_selection.empty() && m_model->rideAt(first)) {
            m_tree->selectionModel()->select(first, QItemSelectionModel::ClearAndSelect);
            m_tree->setCurrentIndex(first);
        }
    }
    emit yearLoaded(year);
}

void HistorySidebar::selectNewestOfYear(int year) {
    QModelIndex index = m_model->yearIndex(year);
    if (!index.isValid()) return;
    m_pendingNewestYear = year;
    if (m_model->isYearLoaded(index.row())) afterYearLoaded(year);
}

void HistorySidebar::clearSelection() {
    m_tree->selectionModel()->clearSelection();
}

void HistorySidebar::selectRides(const std::set<std::int64_t>& objectIDs) {
    // Looking each one up would walk every loaded row once per selected record, and a range
    // per row makes selecting thousands slow: neighbours share a range.
    QItemSelection selection;
    QModelIndexList found;
    for (int yearRow = 0; yearRow < m_model->rowCount(); ++yearRow) {
        QModelIndex year = m_model->index(yearRow, 0);
        for (int row = 0; row < m_model->rowCount(year); ++row) {
            QModelIndex index = m_model->index(row, 0, year);
            RideRef ride = m_model->rideAt(index);
            if (ride && objectIDs.contains(ride->objectID)) found.push_back(index);
        }
    }
    for (qsizetype first = 0, last = 0; first < found.size(); first = ++last) {
        while (last + 1 < found.size() && found[last + 1].parent() == found[first].parent() &&
               found[last + 1].row() == found[last].row() + 1)
            ++last;
        selection.select(found[first], found[last]);
    }
    m_tree->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void HistorySidebar::revealRides(const QList<qint64>& objectIDs, const QList<int>& years) {
    for (int year : years) {
        QModelIndex index = m_model->yearIndex(year);
        if (!index.isValid()) continue;
        m_model->loadYear(index.row());
        m_tree->expand(index);
    }
    std::set<std::int64_t> wanted(objectIDs.begin(), objectIDs.end());
    if (wanted.empty()) return;
    selectRides(wanted);
    QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return;
    auto topmost = std::min_element(
        selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) {
            return std::pair(a.parent().row(), a.row()) < std::pair(b.parent().row(), b.row());
        });
    m_tree->selectionModel()->setCurrentIndex(*topmost, QItemSelectionModel::NoUpdate);
    m_tree->scrollTo(*topmost);
}

std::vector<RideRef> HistorySidebar::selectedRides() const {
    std::vector<RideRef> rides;
    for (const QModelIndex& index : m_tree->selectionModel()->selectedIndexes()) {
        if (RideRef ride = m_model->rideAt(index)) rides.push_back(ride);
    }
    return rides;
}

QString HistorySidebar::footerCountText() const {
    return m_footerCount->text();
}

}  // namespace vantrel
