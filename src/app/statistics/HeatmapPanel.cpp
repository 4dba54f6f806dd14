#include "app/statistics/HeatmapPanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/HeatmapCache.h"
#include "app/flows/BackgroundTask.h"
#include "app/widgets/DisplayFormat.h"
#include "app/widgets/ProgressRow.h"

namespace vantrel {

namespace {

constexpr int kProgressIntervalMs = 100;

// A single kind is named by its raw value after this prefix, so that the kind "cycling" is
// not taken for the group of the same name.
const QString kKindPrefix = QStringLiteral("kind:");

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// The kind choices: every activity, the three groups, then each kind in listing order.
void fillKinds(QComboBox* box) {
    box->addItem(QStringLiteral("All Activities"), QString());
    box->addItem(QStringLiteral("All Cycling"), QStringLiteral("cycling"));
    box->addItem(QStringLiteral("All Running"), QStringLiteral("running"));
    box->addItem(QStringLiteral("All Swimming"), QStringLiteral("swimming"));
    box->insertSeparator(box->count());
    for (ActivityType type : allActivityTypes())
        box->addItem(qText(displayName(type)), kKindPrefix + qText(rawValue(type)));
}

}  // namespace

/// What a build hands back to the main thread.
struct HeatmapPanel::Outcome {
    std::vector<int> years;
    HeatmapLines lines;
    bool cancelled = false;
};

HeatmapPanel::HeatmapPanel(std::filesystem::path storePath, Preferences& preferences,
                           QWidget* parent)
    : QWidget(parent),
      m_storePath(std::move(storePath)),
      m_kind(new QComboBox),
      m_year(new QComboBox),
      m_progressRow(new ProgressRow),
      m_action(new QPushButton),
      m_status(new QLabel),
      m_map(MapView::create(preferences)) {
    m_status->setTextFormat(Qt::PlainText);  // it may carry an error's own words
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeControls());
    layout->addWidget(m_progressRow);
    layout->addWidget(m_map->widget(), 1);
    m_progressRow->setAccessibleName(QStringLiteral("Heatmap progress"));
    m_progressRow->hide();
    m_progressTimer.setInterval(kProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &HeatmapPanel::showProgress);
}

HeatmapPanel::~HeatmapPanel() {
    // The worker holds nothing of the panel's; told to stop, it ends at the next route.
    if (m_cancel) m_cancel->cancel();
}

QWidget* HeatmapPanel::makeControls() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 8, 12, 4);
    fillKinds(m_kind);
    m_kind->setAccessibleName(QStringLiteral("Activity kinds"));
    m_year->addItem(QStringLiteral("All Years"), 0);
    m_year->setAccessibleName(QStringLiteral("Year"));
    m_year->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_status->setAccessibleName(QStringLiteral("Heatmap status"));
    m_action->setAccessibleName(QStringLiteral("Cancel heatmap"));
    m_action->setText(QStringLiteral("Cancel"));
    m_action->hide();
    row->addWidget(m_kind);
    row->addWidget(m_year);
    row->addWidget(m_status, 1);
    row->addWidget(m_action);
    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_year, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_action, &QPushButton::clicked, this, [this] {
        if (isBuilding())
            cancelBuild();
        else
            build();
    });
    return bar;
}

QString HeatmapPanel::statusText() const {
    return m_status->text();
}

void HeatmapPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    build();
}

void HeatmapPanel::refresh() {
    if (m_shown) build();
}

HeatmapFilter HeatmapPanel::chosenFilter() const {
    HeatmapFilter filter;
    QString kind = m_kind->currentData().toString();
    if (kind.startsWith(kKindPrefix)) {
        if (auto type = activityTypeFromRawValue(kind.mid(kKindPrefix.size()).toStdString()))
            filter.kinds = {*type};
    } else if (!kind.isEmpty()) {
        filter.kinds = activityKindsNamed(kind.toStdString()).value_or(std::vector<ActivityType>{});
    }
    if (int year = m_year->currentData().toInt(); year > 0) filter.years = {year};
    return filter;
}

void HeatmapPanel::build() {
    if (m_cancel) m_cancel->cancel();
    int generation = ++m_generation;
    m_cancel = std::make_shared<CancellationToken>();
    m_progress = std::make_shared<Progress>();
    m_progressRow->setProgress(QStringLiteral("Preparing routes…"), 0);
    m_progressRow->show();
    m_action->setText(QStringLiteral("Cancel"));
    m_action->setAccessibleName(QStringLiteral("Cancel heatmap"));
    m_action->show();
    m_status->clear();
    m_progressTimer.start();

    HeatmapFilter filter = chosenFilter();
    std::filesystem::path cacheFile = heatmapCachePath(m_storePath);
    CancellationTokenRef cancel = m_cancel;
    std::shared_ptr<Progress> progress = m_progress;
    runWithOwnStore<Outcome>(
        this, m_storePath,
        [filter, cacheFile, cancel, progress](RideStore& store) {
            Outcome outcome;
            for (const auto& summary : store.yearSummaries()) outcome.years.push_back(summary.year);
            HeatmapCache cache(cacheFile);
            auto routes = cache.routes(
                store, filter,
                [&progress](std::size_t done, std::size_t total) {
                    progress->total = total;
                    progress->done = done;
                },
                cancel.get());
            outcome.cancelled = !routes;
            if (routes) {
                for (const auto& route : *routes) outcome.lines.add(route.points);
            }
            return outcome;
        },
        [this, generation](const TaskOutcome<Outcome>& result) {
            finish(generation, result.value, result.error);
        });
}

void HeatmapPanel::cancelBuild() {
    if (m_cancel) m_cancel->cancel();
}

void HeatmapPanel::showProgress() {
    if (!m_progress) return;
    std::size_t total = m_progress->total, done = m_progress->done;
    if (total == 0) return;
    m_progressRow->setProgress(
        QStringLiteral("Preparing routes %1 of %2…")
            .arg(QLocale().toString(qulonglong(done)), QLocale().toString(qulonglong(total))),
        static_cast<double>(done) / static_cast<double>(total));
}

void HeatmapPanel::finish(int generation, const Outcome& outcome,
                          const std::optional<std::string>& error) {
    if (generation != m_generation) return;  // a newer choice has replaced this build
    m_cancel.reset();
    m_progress.reset();
    m_progressTimer.stop();
    m_progressRow->hide();
    if (error) {
        m_status->setText(QStringLiteral("The heatmap could not be made: %1")
                              .arg(QString::fromStdString(*error)));
        m_action->hide();
        return;
    }
    updateYears(outcome.years);
    if (outcome.cancelled) {
        m_status->setText(QStringLiteral("Cancelled. The routes prepared so far are kept."));
        m_action->setText(QStringLiteral("Continue"));
        m_action->setAccessibleName(QStringLiteral("Continue heatmap"));
        return;
    }
    m_action->hide();
    auto count = static_cast<qint64>(outcome.lines.lineCount());
    m_status->setText(count == 0 ? QStringLiteral("No routes for this choice.")
                                 : DisplayFormat::activityCount(count));
    m_map->showHeatmap(outcome.lines);
    emit linesShown(static_cast<int>(count));
}

void HeatmapPanel::updateYears(const std::vector<int>& years) {
    int chosen = m_year->currentData().toInt();
    std::vector<int> sorted = years;
    std::sort(sorted.rbegin(), sorted.rend());
    // Keep a chosen year even if its last activity went, so the choice does not jump.
    if (chosen > 0 && std::find(sorted.begin(), sorted.end(), chosen) == sorted.end())
        sorted.insert(std::upper_bound(sorted.begin(), sorted.end(), chosen, std::greater<>()),
                      chosen);
    QSignalBlocker quiet(m_year);
    m_year->clear();
    m_year->addItem(QStringLiteral("All Years"), 0);
    for (int year : sorted) m_year->addItem(QString::number(year), year);
    m_year->setCurrentIndex(std::max(0, m_year->findData(chosen)));
}

}  // namespace vantrel
