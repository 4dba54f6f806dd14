#include "app/ActivityDetailView.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <fstream>

#include "app/ConditionsSection.h"
#include "app/Dialogs.h"
#include "app/DisplayFormat.h"
#include "app/Icons.h"
#include "app/NotesSection.h"
#include "app/PhotosSection.h"
#include "app/SplitsSection.h"
#include "export/GpxFolderExport.h"
#include "export/RideArchiveExporter.h"
#include "services/GeocodingService.h"

namespace vantrel {

namespace {

constexpr int kColumnMaximumWidth = 640;

QString watts(double value) {
    return QString::asprintf("%.0f W", value);
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
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    m_content = new QWidget;
    // On a wide window, values stay next to their labels instead of drifting to the far edge.
    m_content->setMaximumWidth(kColumnMaximumWidth);
    m_sections = new QVBoxLayout(m_content);
    m_sections->setContentsMargins(16, 16, 16, 16);
    m_sections->setSpacing(12);
    scroll->setWidget(m_content);
    m_store.loadDetails(m_ride);
    rebuild();
}

void ActivityDetailView::setUnitSystem(UnitSystem system) {
    if (system == m_unitSystem) return;
    m_unitSystem = system;
    rebuild();
}

void ActivityDetailView::rebuild() {
    while (QLayoutItem* item = m_sections->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_detail = loadRideDetail(*m_ride, m_unitSystem);
    buildSummary();
    buildHealth();
    addIfAny(new ConditionsSection(*m_ride, m_detail.routePoints, m_unitSystem));
    addPhotos(new PhotosSection(m_store, m_ride));
    m_sections->addWidget(new NotesSection(m_store, m_ride));
    if (!m_detail.splits.empty())
        m_sections->addWidget(new SplitsSection(m_detail, *m_ride, m_unitSystem));
    buildSource();
    buildExport();
    m_sections->addStretch();
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
    m_store.autosave();
    rebuild();
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
