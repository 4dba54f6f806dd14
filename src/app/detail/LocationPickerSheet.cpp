#include "app/detail/LocationPickerSheet.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <QtConcurrent>

#include "app/widgets/Dialogs.h"
#include "app/widgets/Icons.h"
#include "model/Preferences.h"
#include "services/FallbackGeocoder.h"
#include "services/LocationPickerSearch.h"

namespace vantrel {

namespace {

std::function<std::unique_ptr<Geocoder>()>& geocoderFactory() {
    static std::function<std::unique_ptr<Geocoder>()> factory;
    return factory;
}

}  // namespace

std::unique_ptr<Geocoder> LocationPickerSheet::makeGeocoder(Preferences& preferences) {
    const auto& factory = geocoderFactory();
    if (factory) return factory();
    return FallbackGeocoder::standard(preferences);
}

void LocationPickerSheet::setGeocoderFactory(std::function<std::unique_ptr<Geocoder>()> factory) {
    geocoderFactory() = std::move(factory);
}

LocationPickerSheet::LocationPickerSheet(Preferences& preferences,
                                         std::optional<CodableCoordinate> initialCoord,
                                         std::function<void(CodableCoordinate)> onCommit,
                                         QWidget* parent)
    : QDialog(parent),
      m_preferences(preferences),
      m_onCommit(std::move(onCommit)),
      m_map(MapView::create(preferences)),
      m_currentCenter(initialCoord.value_or(CodableCoordinate{})),
      m_blank(!initialCoord),
      m_search(new QLineEdit),
      m_error(new QLabel),
      m_suggestionModel(new QStringListModel(this)) {
    setWindowTitle(QStringLiteral("Pick Location"));
    setModal(true);
    resize(640, 560);
    auto* layout = new QVBoxLayout(this);
    buildSearchField(layout);

    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);  // the look-up service's own words
    m_error->setStyleSheet(QStringLiteral("color: #c0392b;"));
    m_error->hide();
    layout->addWidget(m_error);

    m_map->widget()->setAccessibleName(QStringLiteral("Map"));
    layout->addWidget(m_map->widget(), 1);
    m_map->showCenterPin(true);
    m_map->setCameraListener([this](const MapCamera& camera, bool byUser) {
        m_currentCenter = camera.center;
        if (byUser) m_blank = false;
    });
    if (initialCoord) {
        moveTo(*initialCoord);
    } else {
        // Nothing tells where the activity was: the whole world, until a place is chosen.
        m_map->setAutomaticCamera();
    }

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton* use =
        buttons->addButton(QStringLiteral("Use This Location"), QDialogButtonBox::AcceptRole);
    use->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, &LocationPickerSheet::commit);
    layout->addWidget(buttons);
}

void LocationPickerSheet::buildSearchField(QVBoxLayout* layout) {
    QColor iconColor = palette().color(QPalette::PlaceholderText);
    m_search->setPlaceholderText(QStringLiteral("Search city or place"));
    m_search->setAccessibleName(QStringLiteral("Search city or place"));
    QAction* find =
        m_search->addAction(Icons::icon("magnifyingglass", iconColor), QLineEdit::LeadingPosition);
    find->setText(QStringLiteral("Search"));
    find->setToolTip(QStringLiteral("Search"));
    connect(find, &QAction::triggered, this, &LocationPickerSheet::submitSearch);
    QAction* clear = m_search->addAction(Icons::icon("xmark.circle.fill", iconColor),
                                         QLineEdit::TrailingPosition);
    clear->setText(QStringLiteral("Clear Search"));
    clear->setToolTip(QStringLiteral("Clear Search"));
    connect(clear, &QAction::triggered, m_search, &QLineEdit::clear);
    connect(m_search, &QLineEdit::returnPressed, this, &LocationPickerSheet::submitSearch);

    // The towns offered are already filtered; the completer only shows them.
    auto* completer = new QCompleter(m_suggestionModel, this);
    completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->popup()->setAccessibleName(QStringLiteral("Suggested Places"));
    m_search->setCompleter(completer);
    connect(m_search, &QLineEdit::textEdited, this, &LocationPickerSheet::suggestPlaces);
    connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
            &LocationPickerSheet::takeSuggestion);
    layout->addWidget(m_search);
}

void LocationPickerSheet::moveTo(CodableCoordinate coordinate) {
    m_currentCenter = coordinate;
    m_blank = false;
    m_map->setCamera(MapCamera{coordinate, kSpan, kSpan});
}

void LocationPickerSheet::suggestPlaces(const QString& text) {
    int request = ++m_suggestionRequest;
    // The table loads and indexes its names on first use; typing must not wait for that.
    QPointer<LocationPickerSheet> self(this);
    auto* watcher = new QFutureWatcher<std::vector<LocationPickerSearch::Suggestion>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [self, watcher, request] {
        watcher->deleteLater();
        if (!self || request != self->m_suggestionRequest) return;
        self->showSuggestions(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([query = text.toStdString()] {
        return LocationPickerSearch::suggestions(PlaceTable::shared(), query);
    }));
}

void LocationPickerSheet::showSuggestions(std::vector<LocationPickerSearch::Suggestion> found) {
    m_suggestions = std::move(found);
    QStringList labels;
    for (const auto& suggestion : m_suggestions) labels << QString::fromStdString(suggestion.label);
    m_suggestionModel->setStringList(labels);
    if (labels.isEmpty() || !m_search->hasFocus()) {
        m_search->completer()->popup()->hide();
    } else {
        m_search->completer()->complete();
        // Nothing chosen until the user goes down the list: the completer would highlight the
        // first label that begins with the text as typed ("Zurita" for "Zuri", not "Zürich"),
        // and Return would take it.
        m_search->completer()->popup()->setCurrentIndex(QModelIndex());
    }
    emit suggestionsShown();
}

void LocationPickerSheet::takeSuggestion(const QString& label) {
    for (const auto& suggestion : m_suggestions) {
        if (QString::fromStdString(suggestion.label) != label) continue;
        setSearchError(std::nullopt);
        moveTo(suggestion.coordinate);
        return;
    }
}

QStringList LocationPickerSheet::suggestedPlaces() const {
    return m_suggestionModel->stringList();
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
    // One geocoder for the sheet's life: after three connection failures it stops trying the
    // network and answers from what it holds.
    if (!m_geocoder) m_geocoder = makeGeocoder(m_preferences);
    watcher->setFuture(QtConcurrent::run(
        [text, geocoder = m_geocoder] { return LocationPickerSearch::submit(*geocoder, text); }));
}

void LocationPickerSheet::keyPressEvent(QKeyEvent* event) {
    // Return in the search field searches; it must not also press "Use This Location".
    bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() == m_search) return event->accept();
    QDialog::keyPressEvent(event);
}

void LocationPickerSheet::commit() {
    bool sure =
        !m_blank || Dialogs::confirm(this, QStringLiteral("Use This Location?"),
                                     QStringLiteral("No place has been chosen on the map yet. "
                                                    "Search for a town or move the map to "
                                                    "the place first, or use the middle of "
                                                    "the map as it is."),
                                     QStringLiteral("Use This Location"), false);
    if (!sure) return;
    if (m_onCommit) m_onCommit(m_currentCenter);
    accept();
}

}  // namespace vantrel
