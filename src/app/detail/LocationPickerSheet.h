#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/map/MapView.h"
#include "services/Geocoder.h"
#include "services/LocationPickerSearch.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStringListModel;
class QVBoxLayout;

namespace vantrel {

/// "Pick Location": a map with a pin at its centre and a place search above it, which offers
/// towns of the offline place table while the user types. "Use This Location" hands the map's
/// centre to the caller; it asks first while the map still shows no chosen place.
class LocationPickerSheet : public QDialog {
    Q_OBJECT
  public:
    static constexpr double kSpan = 0.05;

    /// Without `initialCoord` the map shows the whole world until a place is searched or the
    /// user moves it.
    /// The map's tiles and the searches' servers are the ones `preferences` name.
    LocationPickerSheet(Preferences& preferences, std::optional<CodableCoordinate> initialCoord,
                        std::function<void(CodableCoordinate)> onCommit, QWidget* parent = nullptr);

    /// The geocoder the searches (and the town look-up after a pick) use: online with its
    /// answers remembered and the offline table behind it, unless a test installed another (an
    /// empty factory restores it). A sheet makes one at its first search and keeps it.
    static std::unique_ptr<Geocoder> makeGeocoder(Preferences& preferences);
    static void setGeocoderFactory(std::function<std::unique_ptr<Geocoder>()> factory);

    CodableCoordinate currentCenter() const { return m_currentCenter; }
    /// The message under the search field; absent when there is none.
    std::optional<QString> searchError() const { return m_searchError; }
    QLineEdit* searchField() const { return m_search; }
    MapView* map() const { return m_map.get(); }
    bool isSearching() const { return m_searching; }
    /// True while the map shows no chosen place (opened without a start, not moved since).
    bool isBlank() const { return m_blank; }
    /// The towns offered for the field's text.
    QStringList suggestedPlaces() const;

    /// Looks up the field's text in the background and moves the map to the first place found.
    void submitSearch();
    /// "Use This Location".
    void commit();

  signals:
    void searchFinished();
    void suggestionsShown();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildSearchField(QVBoxLayout* layout);
    void moveTo(CodableCoordinate coordinate);
    void setSearchError(std::optional<QString> error);
    void suggestPlaces(const QString& text);
    void showSuggestions(std::vector<LocationPickerSearch::Suggestion> found);
    void takeSuggestion(const QString& label);

    Preferences& m_preferences;
    std::function<void(CodableCoordinate)> m_onCommit;
    std::unique_ptr<MapView> m_map;
    CodableCoordinate m_currentCenter;
    bool m_blank;
    std::optional<QString> m_searchError;
    QLineEdit* m_search;
    QLabel* m_error;
    QStringListModel* m_suggestionModel;
    std::vector<LocationPickerSearch::Suggestion> m_suggestions;
    int m_suggestionRequest = 0;
    std::shared_ptr<Geocoder> m_geocoder;
    bool m_searching = false;
};

}  // namespace vantrel
