#include "app/detail/LocationPickerSheet.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent>

#include "app/widgets/Icons.h"
#include "model/Preferences.h"
#include "services/FallbackGeocoder.h"
#include "services/LocationPickerSearch.h"
#include "services/OfflineGeocoder.h"
#include "services/OnlineGeocoder.h"

namespace vantrel {

namespace {

/// The standard geocoder, except that a place search the online service failed to answer stays
/// a failure unless the offline table finds the place: an offline "nothing" would otherwise
/// turn a missing network into "No matches".
class PickerGeocoder : public Geocoder {
  public:
    PickerGeocoder()
        : m_standard(FallbackGeocoder::standard(Preferences::shared())),
          m_online(OnlineGeocoder::Settings::fromPreferences(Preferences::shared())) {}

    std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate coordinate) override {
        return m_standard->reverseGeocode(coordinate);
    }
    std::optional<std::vector<std::string>> areasOfInterest(CodableCoordinate coordinate) override {
        return m_standard->areasOfInterest(coordinate);
    }
    std::optional<std::vector<Placemark>> geocodeAddress(std::string_view text) override {
        if (auto online = m_online.geocodeAddress(text)) return online;
        auto offline = m_offline.geocodeAddress(text);
        if (offline && !offline->empty()) return offline;
        return std::nullopt;
    }
    std::optional<std::vector<MapItem>> searchPlaces(std::string_view query,
                                                     const SearchRegion& region) override {
        return m_standard->searchPlaces(query, region);
    }

  private:
    std::unique_ptr<Geocoder> m_standard;
    OnlineGeocoder m_online;
    OfflineGeocoder m_offline;
};

std::function<std::unique_ptr<Geocoder>()>& geocoderFactory() {
    static std::function<std::unique_ptr<Geocoder>()> factory;
    return factory;
}

}  // namespace

std::unique_ptr<Geocoder> LocationPickerSheet::makeGeocoder() {
    const auto& factory = geocoderFactory();
    if (factory) return factory();
    return std::make_unique<PickerGeocoder>();
}

void LocationPickerSheet::setGeocoderFactory(std::function<std::unique_ptr<Geocoder>()> factory) {
    geocoderFactory() = std::move(factory);
}

LocationPickerSheet::LocationPickerSheet(CodableCoordinate initialCoord,
                                         std::function<void(CodableCoordinate)> onCommit,
                                         QWidget* parent)
    : QDialog(parent),
      m_onCommit(std::move(onCommit)),
      m_map(MapView::create()),
      m_currentCenter(initialCoord),
      m_search(new QLineEdit),
      m_error(new QLabel) {
    setWindowTitle(QStringLiteral("Pick Location"));
    setModal(true);
    resize(640, 560);
    auto* layout = new QVBoxLayout(this);

    QColor iconColor = palette().color(QPalette::PlaceholderText);
    m_search->setPlaceholderText(QStringLiteral("Search city or place"));
    m_search->setAccessibleName(QStringLiteral("Search city or place"));
    m_search->addAction(Icons::icon("magnifyingglass", iconColor), QLineEdit::LeadingPosition);
    QAction* clear = m_search->addAction(Icons::icon("xmark.circle.fill", iconColor),
                                         QLineEdit::TrailingPosition);
    clear->setText(QStringLiteral("Clear Search"));
    clear->setToolTip(QStringLiteral("Clear Search"));
    connect(clear, &QAction::triggered, m_search, &QLineEdit::clear);
    connect(m_search, &QLineEdit::returnPressed, this, &LocationPickerSheet::submitSearch);
    layout->addWidget(m_search);

    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);  // the look-up service's own words
    m_error->setStyleSheet(QStringLiteral("color: #c0392b;"));
    m_error->hide();
    layout->addWidget(m_error);

    m_map->widget()->setAccessibleName(QStringLiteral("Map"));
    layout->addWidget(m_map->widget(), 1);
    m_map->showCenterPin(true);
    m_map->setCameraListener(
        [this](const MapCamera& camera, bool) { m_currentCenter = camera.center; });
    moveTo(initialCoord);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton* use =
        buttons->addButton(QStringLiteral("Use This Location"), QDialogButtonBox::AcceptRole);
    use->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, &LocationPickerSheet::commit);
    layout->addWidget(buttons);
}

void LocationPickerSheet::moveTo(CodableCoordinate coordinate) {
    m_currentCenter = coordinate;
    m_map->setCamera(MapCamera{coordinate, kSpan, kSpan});
}

void LocationPickerSheet::setSearchError(std::optional<QString> error) {
    m_searchError = std::move(error);
    m_error->setText(m_searchError.value_or(QString()));
    m_error->setVisible(m_searchError.has_value());
}

void LocationPickerSheet::submitSearch() {
    std::string text = m_search->text().toStdString();
    if (QString::fromStdString(text).trimmed().isEmpty() || m_searching) return;
    setSearchError(std::nullopt);
    m_searching = true;
    // The look-up may wait on the network; the sheet stays responsive meanwhile.
    QPointer<LocationPickerSheet> self(this);
    auto* watcher = new QFutureWatcher<LocationPickerSearch>(this);
    connect(watcher, &QFutureWatcher<LocationPickerSearch>::finished, this, [self, watcher] {
        watcher->deleteLater();
        if (!self) return;
        LocationPickerSearch result = watcher->result();
        self->m_searching = false;
        if (result.searchError) self->setSearchError(QString::fromStdString(*result.searchError));
        if (result.coordinate) self->moveTo(*result.coordinate);
        emit self->searchFinished();
    });
    watcher->setFuture(QtConcurrent::run([text] {
        std::unique_ptr<Geocoder> geocoder = makeGeocoder();
        return LocationPickerSearch::submit(*geocoder, text);
    }));
}

void LocationPickerSheet::keyPressEvent(QKeyEvent* event) {
    // Return in the search field searches; it must not also press "Use This Location".
    bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() == m_search) return event->accept();
    QDialog::keyPressEvent(event);
}

void LocationPickerSheet::commit() {
    if (m_onCommit) m_onCommit(m_currentCenter);
    accept();
}

}  // namespace vantrel
