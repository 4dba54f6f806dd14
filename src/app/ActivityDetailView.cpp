#include "app/ActivityDetailView.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>

#include "app/Dialogs.h"
#include "app/DisplayFormat.h"
#include "app/Icons.h"
#include "app/RideChartView.h"
#include "export/GpxFolderExport.h"
#include "export/RideArchiveExporter.h"
#include "services/RideTrimService.h"

namespace vantrel {

namespace {

QString watts(double value) {
    return QString::asprintf("%.0f W", value);
}

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* labelWithSymbol(const char* symbol, const QString& text, const QPalette& palette) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel;
    icon->setPixmap(Icons::pixmap(symbol, palette.color(QPalette::Highlight), 14, 2.0));
    icon->setFixedWidth(18);
    layout->addWidget(icon);
    auto* label = new QLabel(text);
    label->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(label, 1);
    return box;
}

void writeText(const QString& file, const char* data, std::size_t size) {
    std::ofstream out(file.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
}

}  // namespace

ActivityDetailView::ActivityDetailView(RideStore& store, RideRef ride, UnitSystem system,
                                       QWidget* parent)
    : QWidget(parent), m_store(store), m_ride(std::move(ride)), m_unitSystem(system) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(buildColumn());
    m_store.loadDetails(m_ride);
    reload();
}

QWidget* ActivityDetailView::buildColumn() {
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_content = new QWidget;
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(16, 12, 16, 16);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->addStretch();
    m_moreActions = new QToolButton;
    m_moreActions->setIcon(
        Icons::icon("ellipsis.circle", palette().color(QPalette::ButtonText), 16));
    m_moreActions->setAccessibleName(QStringLiteral("More Actions"));
    m_moreActions->setToolTip(QStringLiteral("More Actions"));
    m_moreActions->setPopupMode(QToolButton::InstantPopup);
    m_actionsMenu = new QMenu(m_moreActions);
    m_moreActions->setMenu(m_actionsMenu);
    // "Undo Trim" depends on the clock, so the menu is built when it opens.
    connect(m_actionsMenu, &QMenu::aboutToShow, this, &ActivityDetailView::fillActionsMenu);
    header->addWidget(m_moreActions);
    column->addLayout(header);

    m_chart = new RideChartView;
    column->addWidget(m_chart);

    m_sections = new QVBoxLayout;
    m_sections->setSpacing(12);
    column->addLayout(m_sections);
    column->addStretch();
    scroll->setWidget(m_content);
    return scroll;
}

void ActivityDetailView::setUnitSystem(UnitSystem system) {
    if (system == m_unitSystem) return;
    m_unitSystem = system;
    reload();
}

void ActivityDetailView::reload() {
    // An expired undo is dropped before anything is shown, so the menu never offers it.
    RideTrimService::purgeExpiredBackup(*m_ride, now());
    m_detail = loadRideDetail(*m_ride, m_unitSystem);
    const RideChartData& chart = m_detail.chart;
    m_chart->setVisible(!chart.hrPlot.empty() || !chart.leftPlot.empty());
    m_chart->setData(chart, QString::fromStdString(m_detail.chartTitle));
    rebuild();
}

void ActivityDetailView::rebuild() {
    while (QLayoutItem* item = m_sections->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    buildSummary();
    buildHealth();
    buildSource();
    buildExport();
}

std::optional<double> ActivityDetailView::scrubberProgress() const {
    return m_chart->scrubber().progress;
}

void ActivityDetailView::fillActionsMenu() {
    m_actionsMenu->clear();
    QColor color = palette().color(QPalette::WindowText);
    m_actionsMenu->addAction(Icons::icon("scissors", color), QStringLiteral("Trim Activity"), this,
                             &ActivityDetailView::trimActivity);
    m_actionsMenu->addAction(Icons::icon("info.circle", color), QStringLiteral("Hint"), this,
                             &ActivityDetailView::showTrimHint);
    if (RideTrimService::canUndoTrim(*m_ride, now())) {
        m_actionsMenu->addAction(Icons::icon("arrow.uturn.backward", color),
                                 QStringLiteral("Undo Trim"), this, &ActivityDetailView::undoTrim);
    }
}

QStringList ActivityDetailView::moreActionTitles() {
    fillActionsMenu();
    QStringList titles;
    for (QAction* action : m_actionsMenu->actions()) titles << action->text();
    return titles;
}

void ActivityDetailView::trimActivity() {
    std::optional<double> progress = scrubberProgress();
    if (!progress) {
        Dialogs::alert(this, qText(RideTrimService::trimNeedsScrubberTitle()),
                       qText(RideTrimService::trimNeedsScrubberMessage()));
        return;
    }
    QString message =
        QString::fromStdString(RideTrimService::trimConfirmationMessage(*m_ride, progress));
    if (!Dialogs::confirm(this, qText(RideTrimService::trimConfirmationTitle()), message,
                          qText(RideTrimService::trimButtonTitle()), true)) {
        return;
    }
    // The cut is computed again from the record as it is now, not as it was when asked.
    Date cut = RideTrimService::cutTime(*m_ride, *progress);
    if (!RideTrimService::trim(*m_ride, cut, now())) return;
    afterEdit();
}

void ActivityDetailView::undoTrim() {
    if (!Dialogs::confirm(this, qText(RideTrimService::undoTrimTitle()),
                          qText(RideTrimService::undoTrimMessage()),
                          qText(RideTrimService::undoButtonTitle()), true)) {
        return;
    }
    if (!RideTrimService::undoTrim(*m_ride, now())) return;
    afterEdit();
}

void ActivityDetailView::afterEdit() {
    saveStore();
    m_chart->clearScrubber();
    reload();
    emit rideEdited();
}

void ActivityDetailView::showTrimHint() {
    Dialogs::alert(this, QStringLiteral("Hint"), qText(RideTrimService::trimHint()));
}

void ActivityDetailView::saveStore() {
    try {
        m_store.save();
    } catch (const std::exception&) {
        // The store keeps the change and writes it with its next save.
    }
}

QGroupBox* ActivityDetailView::addSection(const QString& title) {
    auto* section = new QGroupBox(title);
    auto* form = new QFormLayout(section);
    form->setLabelAlignment(Qt::AlignLeft);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_sections->addWidget(section);
    return section;
}

void ActivityDetailView::addRow(QGroupBox* section, const char* symbol, const QString& label,
                                const QString& value) {
    auto* form = static_cast<QFormLayout*>(section->layout());
    auto* valueLabel = new QLabel(value);
    valueLabel->setObjectName(label);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valueLabel->setAccessibleName(label);
    form->addRow(labelWithSymbol(symbol, label, palette()), valueLabel);
}

void ActivityDetailView::buildSummary() {
    const PersistedRide& ride = *m_ride;
    QGroupBox* section = addSection(QStringLiteral("Summary"));
    std::optional<ActivityType> type = ride.resolvedActivityType();
    if (type) {
        std::string symbol(iconName(*type));
        addRow(section, symbol.c_str(), QStringLiteral("Activity"),
               DisplayFormat::text(std::string(displayName(*type))));
    }
    addRow(section, "calendar", QStringLiteral("Date"), DisplayFormat::longDate(ride.date));
    addRow(section, "clock", QStringLiteral("Start Time"), DisplayFormat::shortTime(ride.date));
    addRow(section, "clock.badge.checkmark", QStringLiteral("End Time"),
           DisplayFormat::shortTime(ride.date + ride.duration));
    QString timeText =
        type ? DisplayFormat::text(std::string(timeLabel(*type))) : QStringLiteral("Riding Time");
    addRow(section, "timer", timeText, DisplayFormat::text(formatDuration(ride.duration)));
    addRow(section, "point.topleft.down.to.point.bottomright.curvepath", QStringLiteral("Distance"),
           DisplayFormat::text(formatDistance(ride.distance, m_unitSystem)));
    addRow(section, "arrow.up.right", QStringLiteral("Elevation Gain"),
           DisplayFormat::text(formatElevationGain(ride.elevationGain, m_unitSystem)));
    addRow(section, "speedometer", QStringLiteral("Avg Speed"),
           DisplayFormat::text(formatSpeed(m_detail.averageSpeed, m_unitSystem)));
    if (m_detail.maxSpeed > 0) {
        addRow(section, "gauge", QStringLiteral("Max Speed"),
               DisplayFormat::text(formatSpeed(m_detail.maxSpeed, m_unitSystem)));
    }
    if (ride.averagePower > 0)
        addRow(section, "bolt", QStringLiteral("Avg Power"), watts(ride.averagePower));
    if (ride.maxPower > 0)
        addRow(section, "bolt.fill", QStringLiteral("Max Power"), watts(ride.maxPower));
    if (ride.averageCadence > 0) {
        addRow(section, "arrow.triangle.2.circlepath", QStringLiteral("Avg Cadence"),
               QString::asprintf("%.0f rpm", ride.averageCadence));
    }
    if (ride.city)
        addRow(section, "mappin.and.ellipse", QStringLiteral("Location"),
               DisplayFormat::text(*ride.city));
}

void ActivityDetailView::buildHealth() {
    const PersistedRide& ride = *m_ride;
    if (!(ride.averageHeartRate > 0 || ride.calories > 0)) return;
    QGroupBox* section = addSection(QStringLiteral("Health"));
    addRow(section, "heart", QStringLiteral("Avg Heart Rate"),
           DisplayFormat::heartRate(ride.averageHeartRate));
    addRow(section, "heart.fill", QStringLiteral("Max Heart Rate"),
           DisplayFormat::heartRate(ride.maxHeartRate));
    addRow(section, "flame", QStringLiteral("Calories"),
           QString::asprintf("%.0f cal", ride.calories));
}

void ActivityDetailView::buildSource() {
    QGroupBox* section = addSection(QStringLiteral("Source"));
    if (m_ride->importSource) {
        addRow(section, "square.and.arrow.down", QStringLiteral("Imported from"),
               DisplayFormat::text(*m_ride->importSource));
    } else {
        addRow(section, "bicycle", QStringLiteral("Recorded by"), QStringLiteral("Vantrel"));
    }
}

void ActivityDetailView::buildExport() {
    auto* section = new QGroupBox(QStringLiteral("Export"));
    auto* row = new QHBoxLayout(section);
    auto* gpx = new QPushButton(QStringLiteral("GPX"));
    auto* archive = new QPushButton(QStringLiteral("Vantrel Format"));
    connect(gpx, &QPushButton::clicked, this, &ActivityDetailView::exportGPX);
    connect(archive, &QPushButton::clicked, this, &ActivityDetailView::exportArchive);
    row->addWidget(gpx);
    row->addWidget(archive);
    row->addStretch();
    m_sections->addWidget(section);
}

void ActivityDetailView::exportGPX() {
    QString base = QString::fromStdString(formatLocal(m_ride->date, "%Y%m%d%H%M"));
    auto file = Dialogs::saveFile(
        this, {{}, {}, QStringLiteral("GPX files (*.gpx)"), base + QStringLiteral(".gpx"), false});
    if (!file) return;
    try {
        exportGpxFile(m_store, m_ride, file->toStdString());
    } catch (const std::exception&) {
        // A failed write is not reported, as for every single-activity export.
    }
}

void ActivityDetailView::exportArchive() {
    QString base = QString::fromStdString(formatLocal(m_ride->date, "%Y%m%d%H%M"));
    auto file =
        Dialogs::saveFile(this, {{},
                                 {},
                                 QStringLiteral("JSON files (*.json)"),
                                 QStringLiteral("Vantrel_") + base + QStringLiteral(".json"),
                                 false});
    if (!file) return;
    try {
        Bytes bytes =
            RideArchiveExporter::encodeArchive(RideArchiveExporter::buildArchive({m_ride}));
        writeText(*file, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } catch (const std::exception&) {
        // An activity whose numbers cannot be encoded writes nothing; failures are not reported.
    }
}

QString ActivityDetailView::valueOf(const QString& label) const {
    auto* value = m_content->findChild<QLabel*>(label);
    return value ? value->text() : QString();
}

QStringList ActivityDetailView::sectionTitles() const {
    QStringList titles;
    for (auto* section : m_content->findChildren<QGroupBox*>()) titles << section->title();
    return titles;
}

}  // namespace vantrel
