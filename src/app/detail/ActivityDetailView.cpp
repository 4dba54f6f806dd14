#include "app/detail/ActivityDetailView.h"

#include <QFormLayout>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <algorithm>

#include "analysis/LocationOnly.h"
#include "analysis/MapCamera.h"
#include "analysis/PowerCurve.h"
#include "analysis/ScrubberReading.h"
#include "app/detail/ConditionsSection.h"
#include "app/detail/LocationPickerSheet.h"
#include "app/detail/NotesSection.h"
#include "app/detail/PhotosSection.h"
#include "app/detail/PowerCurveSection.h"
#include "app/detail/RideChartView.h"
#include "app/detail/SplitsSection.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/DisplayFormat.h"
#include "app/widgets/Icons.h"
#include "app/widgets/MenuButton.h"
#include "app/widgets/StatRow.h"
#include "archive/ArchiveExport.h"
#include "export/GpxFolderExport.h"
#include "model/AveragePace.h"
#include "model/Preferences.h"
#include "services/GeocodingService.h"
#include "services/LocationChooser.h"
#include "services/LocationPickerStart.h"
#include "services/RideTrimService.h"

namespace vantrel {

namespace {

constexpr int kColumnMaximumWidth = 640;
constexpr const char* kDetailWidthKey = "detailColumnWidth";
constexpr int kSaveDividerDelayMs = 400;

QString watts(double value) {
    return QString::asprintf("%.0f W", value);
}

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int storedDetailWidth(Preferences& preferences) {
    std::optional<std::string> text = preferences.string(kDetailWidthKey);
    if (!text) return ActivityDetailView::kDetailWidth;
    bool ok = false;
    int width = QString::fromStdString(*text).toInt(&ok);
    return ok && width >= ActivityDetailView::kDetailMinWidth ? width
                                                              : ActivityDetailView::kDetailWidth;
}

}  // namespace

ActivityDetailView::ActivityDetailView(RideStore& store, AppContext context, RideRef ride,
                                       UnitSystem system, MapView* map, QWidget* parent)
    : QWidget(parent),
      m_store(store),
      m_context(context),
      m_ride(std::move(ride)),
      m_unitSystem(system),
      m_map(map),
      m_saveDivider(new QTimer(this)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(6);
    m_splitter->addWidget(buildMapPane());
    m_splitter->addWidget(buildColumn());
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setSizes({1000, storedDetailWidth(m_context.preferences)});
    outer->addWidget(m_splitter);

    // The divider is remembered, but not written to disk on every pixel of a drag.
    m_saveDivider->setSingleShot(true);
    m_saveDivider->setInterval(kSaveDividerDelayMs);
    connect(m_splitter, &QSplitter::splitterMoved, m_saveDivider, qOverload<>(&QTimer::start));
    connect(m_saveDivider, &QTimer::timeout, this, [this] {
        QList<int> sizes = m_splitter->sizes();
        if (sizes.size() == 2 && sizes[1] > 0) {
            m_context.preferences.setString(kDetailWidthKey, std::to_string(sizes[1]));
        }
    });
    m_store.loadDetails(m_ride);
    reload();
}

ActivityDetailView::~ActivityDetailView() {
    releaseMap();
}

void ActivityDetailView::releaseMap() {
    if (!m_map) return;
    m_map->setCameraListener({});
    m_map->showMarker(std::nullopt, {});
    if (QWidget* widget = m_map->widget(); widget && isAncestorOf(widget)) {
        widget->hide();
        widget->setParent(nullptr);
    }
    m_map = nullptr;
}

QWidget* ActivityDetailView::buildMapPane() {
    m_mapPane = new QWidget;
    m_mapPane->setMinimumWidth(kMapMinWidth);
    auto* layout = new QVBoxLayout(m_mapPane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (m_map) {
        m_map->widget()->setAccessibleName(QStringLiteral("Map"));
        layout->addWidget(m_map->widget(), 1);
        m_map->widget()->show();
        m_map->setCameraListener(
            [this](const MapCamera& camera, bool byUser) { cameraSettled(camera, byUser); });
    } else {
        layout->addStretch();
    }
    return m_mapPane;
}

QWidget* ActivityDetailView::buildColumn() {
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMinimumWidth(kDetailMinWidth);
    scroll->setAccessibleName(QStringLiteral("Activity details"));
    // The column only ever scrolls down: long values are shortened or wrapped to its width
    // instead of pushing the values and the menu button out of sight.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll = scroll;
    m_content = new QWidget;
    // On a wide window, values stay next to their labels instead of drifting to the far edge.
    m_content->setMaximumWidth(kColumnMaximumWidth);
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(16, 12, 16, 16);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    m_locationButton = new QPushButton;
    m_locationButton->setIcon(Icons::icon("mappin", palette().color(QPalette::ButtonText), 16));
    connect(m_locationButton, &QPushButton::clicked, this, &ActivityDetailView::openLocationPicker);
    header->addWidget(m_locationButton);
    header->addStretch();
    m_moreActions = new MenuButton(QStringLiteral("More Actions"), nullptr);
    m_actionsMenu = new QMenu(QStringLiteral("More Actions"), m_moreActions);
    m_moreActions->setMenu(m_actionsMenu);
    m_moreActions->setIcon(
        Icons::icon("ellipsis.circle", palette().color(QPalette::ButtonText), 16));
    m_moreActions->setToolTip(QStringLiteral("More Actions"));
    // "Undo Trim" depends on the clock, so the menu is built when it opens.
    connect(m_actionsMenu, &QMenu::aboutToShow, this, &ActivityDetailView::fillActionsMenu);
    header->addWidget(m_moreActions);
    column->addLayout(header);

    m_chart = new RideChartView;
    // The label beside the scrubber line reads what the map marker shows, not the thinned plot.
    m_chart->setFiguresAt([this](double progress) {
        return QString::fromStdString(
            formatScrubberReading(readScrubber(m_detail, progress), m_unitSystem));
    });
    connect(m_chart, &RideChartView::scrubberChanged, this, &ActivityDetailView::updateMarker);
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
    m_detail = loadRideDetail(*m_ride, m_unitSystem, std::nullopt, m_context.preferences);
    const RideChartData& chart = m_detail.chart;
    // A single reading makes no line; the chart would only show empty axes.
    m_chart->setVisible(chart.hrPlot.size() > 1 || chart.leftPlot.size() > 1);
    m_chart->markStretch(std::nullopt);
    m_chart->setData(chart, QString::fromStdString(m_detail.chartTitle));

    // Every activity without a recorded route is placed by a pin, whatever its kind.
    bool picksLocation = m_detail.coordinates.size() < 2;
    m_locationButton->setVisible(picksLocation);
    m_locationButton->setText(m_detail.coordinates.empty() ? QStringLiteral("Set Location")
                                                           : QStringLiteral("Move Pin"));
    m_locationButton->setToolTip(QStringLiteral("Choose where this activity took place"));
    // Filled now, not only when opened, so that screen readers find its commands.
    fillActionsMenu();
    rebuild();
    showOnMap();
}

void ActivityDetailView::rebuild() {
    while (QLayoutItem* item = m_sections->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    buildSummary();
    buildHealth();
    if (!m_detail.power.empty()) m_sections->addWidget(new PowerCurveSection(m_detail.power));
    addIfAny(new ConditionsSection(*m_ride, m_detail.routePoints, m_unitSystem));
    addPhotos(new PhotosSection(m_store, m_ride));
    m_sections->addWidget(new NotesSection(m_store, m_ride));
    if (!m_detail.splits.empty())
        m_sections->addWidget(
            new SplitsSection(m_detail, *m_ride, m_unitSystem, m_context.preferences));
    buildSource();
    buildExport();
}

void ActivityDetailView::showOnMap() {
    if (!m_map) return;
    m_mapReadyForSave = false;
    m_map->showRoute(m_detail.coordinates);
    std::optional<CodableCoordinate> pin;
    if (m_detail.coordinates.size() == 1) pin = m_detail.coordinates.front();
    m_map->showPin(pin);
    updateMarker();
    if (std::optional<MapCamera> camera = initialCamera(*m_ride, m_detail.coordinates)) {
        m_map->setCamera(*camera);
    } else {
        m_map->setAutomaticCamera();
    }
    m_mapReadyForSave = true;
}

void ActivityDetailView::cameraSettled(const MapCamera& camera, bool byUser) {
    // Only the user's own moves of a location-only activity are kept: the initial fit must never
    // overwrite a stored region, and routes are always fitted afresh.
    if (!byUser || !m_mapReadyForSave || !isLocationOnly(*m_ride, m_detail.coordinates.size()))
        return;
    PersistedRide& ride = *m_ride;
    ride.mapCenterLat = camera.center.latitude;
    ride.mapCenterLon = camera.center.longitude;
    ride.mapSpanLat = camera.spanLat;
    ride.mapSpanLon = camera.spanLon;
    saveStore();
}

std::optional<double> ActivityDetailView::scrubberProgress() const {
    return m_chart->scrubber().progress;
}

void ActivityDetailView::updateMarker() {
    if (!m_map) return;
    std::optional<double> progress = scrubberProgress();
    if (!progress || !m_detail.retraceData) {
        m_map->showMarker(std::nullopt, {});
        return;
    }
    ScrubberReading reading = readScrubber(m_detail, *progress);
    if (!reading.waypoint) {
        m_map->showMarker(std::nullopt, {});
        return;
    }
    m_map->showMarker(reading.waypoint->coordinate,
                      QString::fromStdString(formatScrubberReading(reading, m_unitSystem)));
}

void ActivityDetailView::fillActionsMenu() {
    m_actionsMenu->clear();
    QColor color = palette().color(QPalette::WindowText);
    m_actionsMenu->addAction(Icons::icon("scissors", color), QStringLiteral("&Trim Activity"), this,
                             &ActivityDetailView::trimActivity);
    m_actionsMenu->addAction(Icons::icon("info.circle", color), QStringLiteral("&Hint"), this,
                             &ActivityDetailView::showTrimHint);
    if (canUndoTrim()) {
        m_actionsMenu->addAction(Icons::icon("arrow.uturn.backward", color),
                                 QStringLiteral("&Undo Trim"), this, &ActivityDetailView::undoTrim);
    }
}

QStringList ActivityDetailView::moreActionTitles() {
    fillActionsMenu();
    QStringList titles;
    for (QAction* action : m_actionsMenu->actions())
        titles << action->text().remove(QLatin1Char('&'));
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

void ActivityDetailView::markRecord(RecordKind kind) {
    std::string_view name = PersonalRecords::displayName(kind);
    QString title = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    auto minutes = [this](double at) {
        return std::max(0.0, (at - m_detail.chart.timeOrigin) / 60.0);
    };
    if (std::optional<double> seconds = PersonalRecords::powerDuration(kind)) {
        // Power keeps its own clock, never pause-removed, as the chart draws it.
        std::optional<double> start = PowerCurve(m_detail.powerSamples).bestStretchStart(*seconds);
        if (!start) return m_chart->markStretch(std::nullopt);
        return m_chart->markStretch(std::pair(minutes(*start), minutes(*start + *seconds)), title);
    }
    std::optional<double> distance = PersonalRecords::windowDistance(kind);
    std::optional<PersonalRecords::Stretch> stretch;
    // Measured on the route as stored, as the records are: a gap in the recording adds no
    // distance there, while the pause-removed route would join its ends.
    if (distance) stretch = PersonalRecords::fastestStretch(m_ride->routePoints(), *distance);
    if (!stretch) return m_chart->markStretch(std::nullopt);
    // Active seconds are what the pause-removed series count from the activity's start.
    m_chart->markStretch(
        std::pair(minutes(m_ride->date + stretch->start), minutes(m_ride->date + stretch->end)),
        title);
}

bool ActivityDetailView::canUndoTrim() const {
    return RideTrimService::canUndoTrim(*m_ride, now());
}

void ActivityDetailView::undoTrim() {
    // The shortcut may outlive the offer: the undo expires with time.
    if (!canUndoTrim()) return;
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

void ActivityDetailView::openLocationPicker() {
    auto start = locationPickerStart(m_store, *m_ride, lastPickedLocation(m_context.preferences));
    QPointer<ActivityDetailView> self(this);
    auto* sheet =
        new LocationPickerSheet(m_context.preferences, start, [self](CodableCoordinate chosen) {
            if (self) self->setPickedLocation(chosen);
        });
    sheet->setParent(this, Qt::Dialog);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void ActivityDetailView::setPickedLocation(CodableCoordinate coordinate) {
    rememberPickedLocation(m_context.preferences, coordinate);
    auto route = GeocodingService::placeAt(*m_ride, coordinate, true, m_detail.coordinates.size());
    if (!route) return;
    afterEdit();
    // The town needs a network look-up; the pin is already shown while it runs.
    QPointer<ActivityDetailView> self(this);
    auto* watcher = new QFutureWatcher<std::optional<std::string>>(this);
    connect(watcher, &QFutureWatcher<std::optional<std::string>>::finished, this, [self, watcher] {
        watcher->deleteLater();
        std::optional<std::string> name = watcher->result();
        if (!self || !name) return;
        self->m_ride->city = *name;
        self->afterEdit();
    });
    watcher->setFuture(QtConcurrent::run([route = *route, &preferences = m_context.preferences] {
        std::unique_ptr<Geocoder> geocoder = LocationPickerSheet::makeGeocoder(preferences);
        CancellationToken never;
        return LocationChooser(*geocoder, never).cityName(route);
    }));
}

void ActivityDetailView::addIfAny(ConditionsSection* section) {
    if (section->rowCount() > 0) {
        m_sections->addWidget(section);
    } else {
        delete section;
    }
}

void ActivityDetailView::addPhotos(PhotosSection* section) {
    // Queued: placing the activity rebuilds the sections, the emitting one included.
    connect(section, &PhotosSection::locationSuggested, this, &ActivityDetailView::placeAtPhoto,
            Qt::QueuedConnection);
    m_sections->addWidget(section);
}

void ActivityDetailView::placeAtPhoto(double latitude, double longitude) {
    if (!GeocodingService::placeAt(*m_ride, {latitude, longitude}, false,
                                   m_detail.routePoints.size())) {
        return;
    }
    afterEdit();
}

QGroupBox* ActivityDetailView::addSection(const QString& title) {
    auto* section = new QGroupBox(title);
    StatRow::makeForm(section);
    m_sections->addWidget(section);
    return section;
}

QLabel* ActivityDetailView::addRow(QGroupBox* section, const char* symbol, const QString& label,
                                   const QString& value) {
    return StatRow::add(static_cast<QFormLayout*>(section->layout()), symbol, label, value);
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
           DisplayFormat::endTime(ride.date, ride.date + ride.duration));
    QString timeText =
        type ? DisplayFormat::text(std::string(timeLabel(*type))) : QStringLiteral("Riding Time");
    addRow(section, "timer", timeText, DisplayFormat::text(formatDuration(ride.duration)));
    addRow(section, "point.topleft.down.to.point.bottomright.curvepath", QStringLiteral("Distance"),
           DisplayFormat::text(formatDistance(ride.distance, m_unitSystem)));
    addRow(section, "arrow.up.right", QStringLiteral("Elevation Gain"),
           DisplayFormat::text(formatElevationGain(ride.elevationGain, m_unitSystem)));
    addRow(section, "speedometer", QStringLiteral("Avg Speed"),
           DisplayFormat::text(formatSpeed(m_detail.averageSpeed, m_unitSystem)));
    if (auto pace = formatAveragePace(m_detail.averageSpeed, type, m_unitSystem))
        addRow(section, "timer", QStringLiteral("Avg Pace"), DisplayFormat::text(*pace));
    if (m_detail.maxSpeed > 0) {
        addRow(section, "gauge", QStringLiteral("Max Speed"),
               DisplayFormat::text(formatSpeed(m_detail.maxSpeed, m_unitSystem)));
    }
    if (ride.averagePower > 0)
        addRow(section, "bolt", QStringLiteral("Avg Power"), watts(ride.averagePower));
    if (ride.maxPower > 0)
        addRow(section, "bolt.fill", QStringLiteral("Max Power"), watts(ride.maxPower));
    if (m_detail.power.normalizedPower > 0) {
        addRow(section, "bolt", QStringLiteral("Normalized Power"),
               watts(m_detail.power.normalizedPower));
    }
    if (ride.averageCadence > 0) {
        addRow(section, "arrow.triangle.2.circlepath", QStringLiteral("Avg Cadence"),
               QString::asprintf("%.0f rpm", ride.averageCadence));
    }
    if (ride.city) {
        // A place name is read whole, over several lines if need be.
        addRow(section, "mappin.and.ellipse", QStringLiteral("Location"),
               DisplayFormat::text(*ride.city))
            ->setWordWrap(true);
    }
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
    // Written through a temporary file: a failed write leaves an older file of that name as it
    // was, and the user learns that nothing was saved.
    ArchiveExportResult result =
        exportArchiveToFile(m_store, {m_ride}, file->toStdString(), m_context.logger);
    if (result.failure) {
        Dialogs::warning(this, QStringLiteral("Export Failed"),
                         QStringLiteral("The activity could not be saved in Vantrel Format: ") +
                             qText(*result.failure));
    } else if (result.exported == 0) {
        Dialogs::warning(this, QStringLiteral("Export Failed"),
                         QStringLiteral("Nothing was saved: the activity's date cannot be "
                                        "written in Vantrel Format."));
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
