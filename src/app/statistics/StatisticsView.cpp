#include "app/statistics/StatisticsView.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "app/widgets/ChartPalette.h"
#include "app/widgets/PlaceholderView.h"
#include "model/ActivityKindGroup.h"

namespace vantrel {

namespace {

enum class Measure { distance, movingTime, elevationGain, count };
enum class Range { lastTwelveMonths, thisYear, lastFiveYears, allTime };

// More bars than this leave no room for their names; the axis then names the first and last.
constexpr int kMostLabelledBars = 60;
// More lines than this are a tangle; the comparison is with the recent years.
constexpr std::size_t kMostYearLines = 8;
// One clearly different colour per year line, the newest year's first.
constexpr const char* kYearColors[kMostYearLines] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728",
                                                     "#9467bd", "#8c564b", "#e377c2", "#17becf"};
// Kind choices: -1 is every activity, kinds are their case numbers, groups follow them.
constexpr int kAllKinds = -1;
constexpr int kFirstGroupChoice = 100;

QChartView* newChartView(const QString& accessibleName) {
    auto* view = new QChartView;
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(accessibleName);
    view->setMinimumHeight(200);
    view->chart()->setBackgroundRoundness(0);
    view->chart()->setMargins(QMargins(4, 4, 4, 4));
    return view;
}

void clearChart(QChart* chart) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

double distanceIn(UnitSystem units, double metres) {
    return units == UnitSystem::metric ? metres / 1000.0 : metres / kMetresPerMile;
}

QString distanceUnit(UnitSystem units) {
    return units == UnitSystem::metric ? QStringLiteral("km") : QStringLiteral("mi");
}

Date startOfMonthsAgo(int monthsAgo) {
    Date today = now();
    int year = localYear(today);
    int month = std::stoi(formatLocal(today, "%m")) - monthsAgo;
    while (month < 1) {
        month += 12;
        year -= 1;
    }
    return startOfLocalDay(year, month, 1).value_or(startOfLocalYear(year));
}

// Day of the year on a line, named by the months.
QCategoryAxis* monthAxis() {
    static const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static constexpr int firstDays[] = {1, 32, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
    auto* axis = new QCategoryAxis;
    axis->setRange(1, 366);
    axis->setStartValue(1);
    for (int month = 0; month < 12; ++month) {
        int end = month < 11 ? firstDays[month + 1] : 367;
        axis->append(QString::fromLatin1(names[month]), end);
    }
    return axis;
}

}  // namespace

StatisticsView::StatisticsView(RideStore& store, UnitSystem units, QWidget* parent)
    : QWidget(parent), m_store(store), m_units(units), m_tabs(new QTabWidget) {
    setAccessibleName(QStringLiteral("Statistics"));
    m_tabs->setAccessibleName(QStringLiteral("Statistics tabs"));
    m_tabs->setDocumentMode(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    m_tabs->addTab(buildTotalsTab(), QStringLiteral("Totals"));
    setTab(QStringLiteral("Records"),
           new PlaceholderView("flame", QStringLiteral("Records"),
                               QStringLiteral("Personal records will be listed here.")));
    setTab(QStringLiteral("Heatmap"),
           new PlaceholderView("mappin.and.ellipse", QStringLiteral("Heatmap"),
                               QStringLiteral("Every route at once will be drawn here.")));
    m_range->setCurrentIndex(rangeHoldingNewest());
    reload();
}

int StatisticsView::rangeHoldingNewest() {
    // A history that ended years ago would otherwise open on an empty "Last 12 Months".
    RideQuery newest;
    newest.liveOnly = true;
    newest.order = RideQuery::Order::dateDescending;
    newest.limit = 1;
    newest.withDetails = false;
    std::vector<RideRef> found;
    try {
        found = m_store.fetch(newest);
    } catch (const StoreError&) {
    }
    if (found.empty() || found.front()->date >= startOfMonthsAgo(11))
        return static_cast<int>(Range::lastTwelveMonths);
    if (found.front()->date >= startOfLocalYear(localYear(now()) - 4))
        return static_cast<int>(Range::lastFiveYears);
    return static_cast<int>(Range::allTime);
}

void StatisticsView::setTab(const QString& title, QWidget* widget) {
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->tabText(i) != title) continue;
        QWidget* old = m_tabs->widget(i);
        bool current = m_tabs->currentIndex() == i;
        m_tabs->removeTab(i);
        m_tabs->insertTab(i, widget, title);
        if (current) m_tabs->setCurrentIndex(i);
        delete old;
        return;
    }
    m_tabs->addTab(widget, title);
}

QWidget* StatisticsView::buildTotalsTab() {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addWidget(buildControls());
    m_summary = new QLabel;
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    layout->addWidget(buildTotals());
    m_bars = newChartView(QStringLiteral("Totals per period"));
    m_bars->chart()->legend()->hide();
    layout->addWidget(m_bars, 3);
    m_yearLines = newChartView(QStringLiteral("Distance year to date"));
    m_yearLines->chart()->setTitle(QStringLiteral("Distance Year to Date"));
    m_yearLines->chart()->legend()->setAlignment(Qt::AlignBottom);
    layout->addWidget(m_yearLines, 2);
    return tab;
}

QWidget* StatisticsView::buildTotals() {
    m_totalsBox = new QWidget;
    m_totalsBox->setAccessibleName(QStringLiteral("Totals of the chosen range"));
    auto* grid = new QGridLayout(m_totalsBox);
    grid->setContentsMargins(0, 4, 0, 4);
    grid->setVerticalSpacing(0);
    const char* const names[] = {"Activities", "Distance", "Moving Time", "Elevation Gain"};
    for (std::size_t i = 0; i < m_totalValues.size(); ++i) {
        // Each figure is a label of its own, named by its caption, so that a screen reader says
        // what it is instead of reading one long line.
        auto* caption = new QLabel(QString::fromLatin1(names[i]), m_totalsBox);
        caption->setForegroundRole(QPalette::PlaceholderText);
        auto* value = new QLabel(m_totalsBox);
        value->setObjectName(caption->text());
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont font = value->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.15);
        value->setFont(font);
        caption->setBuddy(value);
        grid->addWidget(caption, 0, static_cast<int>(i));
        grid->addWidget(value, 1, static_cast<int>(i));
        m_totalValues[i] = value;
    }
    grid->setColumnStretch(static_cast<int>(m_totalValues.size()), 1);
    return m_totalsBox;
}

QComboBox* StatisticsView::addChoice(const QString& accessibleName, const QStringList& items) {
    auto* choice = new QComboBox;
    choice->setAccessibleName(accessibleName);
    choice->setToolTip(accessibleName);
    choice->addItems(items);
    choice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return choice;
}

QWidget* StatisticsView::buildControls() {
    m_measure = addChoice(QStringLiteral("Total"),
                          {QStringLiteral("Distance"), QStringLiteral("Moving Time"),
                           QStringLiteral("Elevation Gain"), QStringLiteral("Activities")});
    m_period = addChoice(
        QStringLiteral("Period"),
        {QStringLiteral("Per Week"), QStringLiteral("Per Month"), QStringLiteral("Per Year")});
    m_period->setCurrentIndex(1);
    m_kind = addChoice(QStringLiteral("Kind"), {});
    fillKindChoice();
    m_range = addChoice(QStringLiteral("Range"),
                        {QStringLiteral("Last 12 Months"), QStringLiteral("This Year"),
                         QStringLiteral("Last 5 Years"), QStringLiteral("All Time")});
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QComboBox* choice : {m_measure, m_period, m_kind, m_range}) {
        layout->addWidget(choice);
        connect(choice, &QComboBox::activated, this, &StatisticsView::reload);
    }
    layout->addStretch(1);
    return row;
}

void StatisticsView::fillKindChoice() {
    m_kind->addItem(QStringLiteral("All Activities"), kAllKinds);
    for (auto group : kAllKindGroups) {
        m_kind->addItem(QString::fromUtf8(groupDisplayName(group).data(),
                                          static_cast<qsizetype>(groupDisplayName(group).size())),
                        kFirstGroupChoice + static_cast<int>(group));
    }
    m_kind->insertSeparator(m_kind->count());
    for (auto kind : allActivityTypes()) {
        auto name = displayName(kind);
        m_kind->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
                        static_cast<int>(kind));
    }
}

std::vector<ActivityType> StatisticsView::chosenKinds() const {
    int choice = m_kind->currentData().toInt();
    if (choice == kAllKinds) return {};
    if (choice >= kFirstGroupChoice) {
        auto kinds = kindsOf(static_cast<ActivityKindGroup>(choice - kFirstGroupChoice));
        return {kinds.begin(), kinds.end()};
    }
    return {static_cast<ActivityType>(choice)};
}

StatisticsQuery StatisticsView::chosenQuery() const {
    StatisticsQuery query;
    static constexpr StatisticsPeriod periods[] = {StatisticsPeriod::week, StatisticsPeriod::month,
                                                   StatisticsPeriod::year};
    query.period = periods[std::clamp(m_period->currentIndex(), 0, 2)];
    query.kinds = chosenKinds();
    switch (static_cast<Range>(m_range->currentIndex())) {
        case Range::lastTwelveMonths:
            query.from = startOfMonthsAgo(11);
            break;
        case Range::thisYear:
            query.from = startOfLocalYear(localYear(now()));
            break;
        case Range::lastFiveYears:
            query.from = startOfLocalYear(localYear(now()) - 4);
            break;
        case Range::allTime:
            break;
    }
    return query;
}

void StatisticsView::reload() {
    m_failed = false;
    try {
        m_totals = m_store.statistics(chosenQuery());
        m_yearsToDate = m_store.yearToDateDistance(chosenKinds());
    } catch (const StoreError&) {
        m_totals.clear();
        m_yearsToDate.clear();
        m_failed = true;
    }
    showSummary();
    showTotals();
    showYearsToDate();
}

void StatisticsView::setUnitSystem(UnitSystem units) {
    m_units = units;
    reload();
}

PeriodTotals StatisticsView::rangeTotals() const {
    PeriodTotals sum;
    for (const auto& totals : m_totals) {
        sum.count += totals.count;
        sum.distance += totals.distance;
        sum.movingTime += totals.movingTime;
        sum.elevationGain += totals.elevationGain;
    }
    return sum;
}

QString StatisticsView::summaryText() const {
    if (m_failed) return QStringLiteral("The statistics could not be read from the store.");
    PeriodTotals sum = rangeTotals();
    if (sum.count == 0) return QStringLiteral("No activities in this range.");
    return QStringLiteral("%1 %2 · %3 · %4 moving time · %5 elevation gain")
        .arg(sum.count)
        .arg(sum.count == 1 ? QStringLiteral("activity") : QStringLiteral("activities"))
        .arg(QString::fromStdString(formatDistance(sum.distance, m_units)))
        .arg(QString::fromStdString(formatDuration(sum.movingTime)))
        .arg(QString::fromStdString(formatElevationGain(sum.elevationGain, m_units)));
}

void StatisticsView::showSummary() {
    PeriodTotals sum = rangeTotals();
    bool any = !m_failed && sum.count > 0;
    m_summary->setText(any ? QString() : summaryText());
    m_summary->setVisible(!any);
    m_totalsBox->setVisible(any);
    m_totalValues[0]->setText(QString::number(sum.count));
    m_totalValues[1]->setText(QString::fromStdString(formatDistance(sum.distance, m_units)));
    m_totalValues[2]->setText(QString::fromStdString(formatDuration(sum.movingTime)));
    m_totalValues[3]->setText(
        QString::fromStdString(formatElevationGain(sum.elevationGain, m_units)));
}

double StatisticsView::shownValue(const PeriodTotals& totals) const {
    switch (static_cast<Measure>(m_measure->currentIndex())) {
        case Measure::distance:
            return distanceIn(m_units, totals.distance);
        case Measure::movingTime:
            return totals.movingTime / 3600.0;
        case Measure::elevationGain:
            return m_units == UnitSystem::metric ? totals.elevationGain
                                                 : totals.elevationGain * kFeetPerMetre;
        case Measure::count:
            return static_cast<double>(totals.count);
    }
    return 0;
}

QString StatisticsView::valueTitle() const {
    switch (static_cast<Measure>(m_measure->currentIndex())) {
        case Measure::distance:
            return QStringLiteral("Distance (%1)").arg(distanceUnit(m_units));
        case Measure::movingTime:
            return QStringLiteral("Moving Time (hours)");
        case Measure::elevationGain:
            return m_units == UnitSystem::metric ? QStringLiteral("Elevation Gain (m)")
                                                 : QStringLiteral("Elevation Gain (ft)");
        case Measure::count:
            return QStringLiteral("Activities");
    }
    return {};
}

void StatisticsView::showTotals() {
    QChart* chart = m_bars->chart();
    clearChart(chart);
    QString title = QStringLiteral("%1 %2").arg(valueTitle(), m_period->currentText());
    auto* bars = new QBarSet(valueTitle());
    QStringList labels;
    double highest = 0;
    for (const auto& totals : m_totals) {
        double value = shownValue(totals);
        bars->append(value);
        highest = std::max(highest, value);
        labels << QString::fromStdString(totals.period.label);
    }
    auto* series = new QBarSeries;
    series->append(bars);
    series->setBarWidth(0.8);
    chart->addSeries(series);
    auto* periods = new QBarCategoryAxis;
    periods->append(labels);
    periods->setGridLineVisible(false);
    if (labels.size() > kMostLabelledBars) {
        periods->setLabelsVisible(false);
        title += QStringLiteral(", %1 to %2").arg(labels.front(), labels.back());
    } else if (labels.size() > 14) {
        periods->setLabelsAngle(-90);
    }
    chart->setTitle(title);
    auto* values = new QValueAxis;
    // Whole-number labels need a range of at least four, or they repeat ("0 0 1 1").
    values->setRange(0, std::max(highest, 4.0));
    values->setTickCount(5);
    values->applyNiceNumbers();
    values->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(periods, Qt::AlignBottom);
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(periods);
    series->attachAxis(values);
    ChartPalette::follow(chart, palette());
}

void StatisticsView::showYearsToDate() {
    QChart* chart = m_yearLines->chart();
    clearChart(chart);
    auto* days = monthAxis();
    auto* distance = new QValueAxis;
    distance->setTitleText(distanceUnit(m_units));
    chart->addAxis(days, Qt::AlignBottom);
    chart->addAxis(distance, Qt::AlignLeft);
    double highest = 0;
    std::size_t first =
        m_yearsToDate.size() > kMostYearLines ? m_yearsToDate.size() - kMostYearLines : 0;
    for (std::size_t y = first; y < m_yearsToDate.size(); ++y) {
        const auto& year = m_yearsToDate[y];
        auto* line = new QLineSeries;
        line->setName(QString::number(year.year));
        for (std::size_t i = 0; i < year.cumulativeDistance.size(); ++i) {
            double value = distanceIn(m_units, year.cumulativeDistance[i]);
            line->append(static_cast<double>(i + 1), value);
            highest = std::max(highest, value);
        }
        chart->addSeries(line);
        line->attachAxis(days);
        line->attachAxis(distance);
        // The newest year, the one being compared, is drawn the strongest.
        bool newest = y + 1 == m_yearsToDate.size();
        line->setPen(QPen(QColor(QString::fromLatin1(
                              kYearColors[(m_yearsToDate.size() - 1 - y) % kMostYearLines])),
                          newest ? 3.0 : 1.5));
    }
    distance->setRange(0, std::max(highest, 4.0));
    distance->setTickCount(5);
    distance->applyNiceNumbers();
    distance->setLabelFormat(QStringLiteral("%.0f"));
    ChartPalette::follow(chart, palette());
}

}  // namespace vantrel
