#include "app/statistics/RecordsPanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <functional>
#include <map>

#include "analysis/BestPowerCurve.h"
#include "analysis/RecordsCache.h"
#include "analysis/RecordsFill.h"
#include "app/flows/BackgroundTask.h"
#include "app/widgets/DisplayFormat.h"
#include "app/widgets/PowerCurveChart.h"
#include "app/widgets/ProgressRow.h"

namespace vantrel {

namespace {

using ActivityList = std::vector<PersonalRecords::ActivityBests>;

enum Column { recordColumn, valueColumn, activityColumn, dateColumn, kindsColumn, columnCount };

// The choices before the single kinds: every activity, then the groups people think in.
const char* const kGroupChoices[][2] = {
    {"All Activities", ""},
    {"All Cycling", "cycling"},
    {"All Running", "running"},
    {"All Swimming", "swimming"},
};

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    return item;
}

}  // namespace

/// What the worker thread and the panel share: the worker only writes counters and reads the
/// token, so the panel may go away while a fill is still stopping.
struct RecordsPanel::Fill {
    CancellationToken token;
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> total{0};
};

RecordsPanel::RecordsPanel(std::filesystem::path storePath, UnitSystem units,
                           PersistentLogger& logger, QWidget* parent)
    : QWidget(parent), m_storePath(std::move(storePath)), m_logger(logger), m_units(units) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildControls());
    m_progress = new ProgressRow;
    m_progress->setAccessibleName(QStringLiteral("Measuring progress"));
    if (auto* bar = m_progress->findChild<QProgressBar*>())
        bar->setAccessibleName(QStringLiteral("Routes measured"));
    // In line with the choice above and the table below.
    m_progress->layout()->setContentsMargins(0, 4, 0, 4);
    m_progress->hide();
    layout->addWidget(m_progress);
    m_message = new QLabel;
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setAccessibleName(QStringLiteral("Records status"));
    m_message->hide();
    layout->addWidget(m_message);
    m_table = new QTableWidget(0, columnCount);
    m_table->setAccessibleName(QStringLiteral("Personal records"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Record"), QStringLiteral("Value"),
                                        QStringLiteral("Activity"), QStringLiteral("Date"),
                                        QStringLiteral("Kinds Counted")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setToolTip(QStringLiteral("Click a record to open its activity."));
    // A row is a link to its activity: one click, or Return on the current row, opens it.
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { openRow(row); });
    connect(m_table, &QTableWidget::cellActivated, this, [this](int row, int) { openRow(row); });
    layout->addWidget(m_table, 1);
    layout->addWidget(buildPowerCurve());
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, &RecordsPanel::showProgress);
}

RecordsPanel::~RecordsPanel() {
    if (m_fill) m_fill->token.cancel();
}

QWidget* RecordsPanel::buildControls() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("Kinds:"));
    m_kinds = new QComboBox;
    m_kinds->setAccessibleName(QStringLiteral("Activity kinds"));
    label->setBuddy(m_kinds);
    fillKindChoice();
    connect(m_kinds, &QComboBox::currentIndexChanged, this, &RecordsPanel::showRecords);
    auto* yearLabel = new QLabel(QStringLiteral("Year:"));
    m_years = new QComboBox;
    m_years->setAccessibleName(QStringLiteral("Year of the records"));
    m_years->addItem(QStringLiteral("All Years"), 0);
    yearLabel->setBuddy(m_years);
    connect(m_years, &QComboBox::currentIndexChanged, this, &RecordsPanel::showRecords);
    m_stop = new QPushButton(QStringLiteral("Refresh"));
    m_stop->setAccessibleName(QStringLiteral("Refresh records"));
    connect(m_stop, &QPushButton::clicked, this, [this] { isLoading() ? cancel() : reload(); });
    layout->addWidget(label);
    layout->addWidget(m_kinds);
    layout->addSpacing(12);
    layout->addWidget(yearLabel);
    layout->addWidget(m_years);
    layout->addStretch(1);
    layout->addWidget(m_stop);
    return row;
}

void RecordsPanel::fillKindChoice() {
    for (const auto& [title, group] : kGroupChoices)
        m_kinds->addItem(QString::fromUtf8(title), QString::fromUtf8(group));
    m_kinds->insertSeparator(m_kinds->count());
    for (auto kind : allActivityTypes()) {
        m_kinds->addItem(
            QString::fromUtf8(displayName(kind).data(), static_cast<int>(displayName(kind).size())),
            QString::fromUtf8(rawValue(kind).data(), static_cast<int>(rawValue(kind).size())));
    }
}

PersonalRecords::KindFilter RecordsPanel::chosenFilter() const {
    auto text = m_kinds->currentData().toString().toStdString();
    if (text.empty()) return PersonalRecords::KindFilter::everything();
    return PersonalRecords::KindFilter::fromText(text).value_or(
        PersonalRecords::KindFilter::everything());
}

QWidget* RecordsPanel::buildPowerCurve() {
    m_powerCurveBox = new QWidget;
    auto* layout = new QVBoxLayout(m_powerCurveBox);
    layout->setContentsMargins(0, 8, 0, 0);
    auto* title = new QLabel(QStringLiteral("Best Power Curve (cycling)"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    m_powerCurve = new PowerCurveChart(QStringLiteral("Best power curve"));
    layout->addWidget(m_powerCurve);
    m_powerCurveBox->hide();
    return m_powerCurveBox;
}

std::vector<PersonalRecords::ActivityBests> RecordsPanel::chosenActivities() const {
    int year = m_years->currentData().toInt();
    if (year == 0) return m_activities;
    std::vector<PersonalRecords::ActivityBests> chosen;
    for (const auto& activity : m_activities) {
        if (localYear(activity.date) == year) chosen.push_back(activity);
    }
    return chosen;
}

void RecordsPanel::fillYearChoice() {
    std::vector<int> years;
    for (const auto& activity : m_activities) years.push_back(localYear(activity.date));
    std::sort(years.begin(), years.end(), std::greater<>());
    years.erase(std::unique(years.begin(), years.end()), years.end());
    int chosen = m_years->currentData().toInt();
    QSignalBlocker blocker(m_years);
    m_years->clear();
    m_years->addItem(QStringLiteral("All Years"), 0);
    for (int year : years) m_years->addItem(QString::number(year), year);
    m_years->setCurrentIndex(std::max(0, m_years->findData(chosen)));
}

void RecordsPanel::setUnitSystem(UnitSystem units) {
    m_units = units;
    showRecords();
}

bool RecordsPanel::isLoading() const {
    return m_fill != nullptr;
}

void RecordsPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_started) reload();
}

void RecordsPanel::reload() {
    m_started = true;
    if (m_fill) {
        m_reloadWhenDone = true;
        m_fill->token.cancel();
        return;
    }
    start();
}

void RecordsPanel::cancel() {
    m_reloadWhenDone = false;
    if (m_fill) m_fill->token.cancel();
}

void RecordsPanel::start() {
    auto fill = std::make_shared<Fill>();
    m_fill = fill;
    setMessage({});
    m_progress->setProgress(QStringLiteral("Measuring routes…"), 0);
    m_progress->show();
    m_stop->setText(QStringLiteral("Stop"));
    m_stop->setAccessibleName(QStringLiteral("Stop measuring routes"));
    m_progressTimer->start();
    runWithOwnStore<std::optional<ActivityList>>(
        this, m_storePath,
        [fill, &logger = m_logger](RideStore& store) {
            RecordsCache cache(RecordsCache::fileFor(store.path()));
            return fillRecords(
                cache, store, logger,
                [fill](std::size_t done, std::size_t total) {
                    fill->total = total;
                    fill->done = done;
                },
                &fill->token);
        },
        [this, fill](TaskOutcome<std::optional<ActivityList>> outcome) {
            if (fill != m_fill) return;
            m_fill.reset();
            finish(std::move(outcome.value), outcome.error);
        });
}

void RecordsPanel::finish(std::optional<ActivityList> activities,
                          const std::optional<std::string>& error) {
    m_progressTimer->stop();
    m_progress->hide();
    m_stop->setText(QStringLiteral("Refresh"));
    m_stop->setAccessibleName(QStringLiteral("Refresh records"));
    if (m_reloadWhenDone) {
        m_reloadWhenDone = false;
        start();
        return;
    }
    if (error) {
        setMessage(QStringLiteral("The records could not be read: %1")
                       .arg(QString::fromStdString(*error)));
    } else if (!activities) {
        setMessage(QStringLiteral("Stopped before every route was measured. Refresh to go on."));
    } else {
        m_activities = std::move(*activities);
        fillYearChoice();
    }
    showRecords();
    emit loaded();
}

void RecordsPanel::showProgress() {
    if (!m_fill) return;
    std::size_t total = m_fill->total;
    std::size_t done = m_fill->done;
    if (total == 0) return;
    m_progress->setProgress(QStringLiteral("Measuring routes… %1 of %2")
                                .arg(QLocale().toString(static_cast<qulonglong>(done)),
                                     QLocale().toString(static_cast<qulonglong>(total))),
                            static_cast<double>(done) / static_cast<double>(total));
}

void RecordsPanel::showRecords() {
    auto activities = chosenActivities();
    m_records = PersonalRecords::bestRecords(activities, chosenFilter());
    auto curve = bestPowerCurve(activities, chosenFilter());
    m_powerCurve->setCurve(curve);
    m_powerCurveBox->setVisible(!curve.empty());
    std::map<Uuid, const PersonalRecords::ActivityBests*> byID;
    for (const auto& activity : m_activities) byID.emplace(activity.rideID, &activity);
    m_table->setRowCount(static_cast<int>(m_records.size()));
    for (int row = 0; row < static_cast<int>(m_records.size()); ++row) {
        const auto& record = m_records[static_cast<std::size_t>(row)];
        auto* name = cell(QString::fromUtf8(PersonalRecords::displayName(record.kind).data()));
        name->setData(Qt::UserRole, QString::fromStdString(record.rideID.toString()));
        m_table->setItem(row, recordColumn, name);
        m_table->setItem(
            row, valueColumn,
            cell(QString::fromStdString(PersonalRecords::formattedValue(record, m_units)),
                 Qt::AlignRight));
        QString activity = record.activityType
                               ? QString::fromUtf8(displayName(*record.activityType).data())
                               : QStringLiteral("Activity");
        if (auto found = byID.find(record.rideID);
            found != byID.end() && found->second->distance > 0)
            activity += QStringLiteral(", ") +
                        QString::fromStdString(formatDistance(found->second->distance, m_units));
        m_table->setItem(row, activityColumn, cell(activity));
        m_table->setItem(row, dateColumn, cell(DisplayFormat::shortDate(record.date)));
        m_table->setItem(
            row, kindsColumn,
            cell(QString::fromUtf8(PersonalRecords::countedKinds(record.kind).data())));
    }
    const QString none = QStringLiteral("No records yet for these kinds.");
    if (m_records.empty() && !isLoading() && m_message->text().isEmpty() && m_started)
        setMessage(none);
    else if (!m_records.empty() && m_message->text() == none)
        setMessage({});
}

void RecordsPanel::setMessage(const QString& text) {
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void RecordsPanel::openRow(int row) {
    if (row < 0 || row >= static_cast<int>(m_records.size())) return;
    const PersonalRecord& record = m_records[static_cast<std::size_t>(row)];
    emit activityRequested(record.rideID, record.kind);
}

}  // namespace vantrel
