#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "app/map/MapView.h"
#include "services/Geocoder.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrel {

/// "Pick Location": a map with a pin at its centre and a place search above it. "Use This
/// Location" hands the map's centre to the caller.
class LocationPickerSheet : public QDialog {
    Q_OBJECT
  public:
    static constexpr double kSpan = 0.05;

    LocationPickerSheet(CodableCoordinate initialCoord,
                        std::function<void(CodableCoordinate)> onCommit, QWidget* parent = nullptr);

    /// The geocoder every search (and the town look-up after a pick) uses: online with the
    /// offline fallback, unless a test installed another (an empty factory restores it).
    static std::unique_ptr<Geocoder> makeGeocoder();
    static void setGeocoderFactory(std::function<std::unique_ptr<Geocoder>()> factory);

    CodableCoordinate currentCenter() const { return m_currentCenter; }
    /// The message under the search field; absent when there is none.
    std::optional<QString> searchError() const { return m_searchError; }
    QLineEdit* searchField() const { return m_search; }
    MapView* map() const { return m_map.get(); }
    bool isSearching() const { return m_searching; }

    /// Looks up the field's text in the background and moves the map to the first place found.
    void submitSearch();
    /// "Use This Location".
    void commit();

  signals:
    void searchFinished();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void moveTo(CodableCoordinate coordinate);
    void setSearchError(std::optional<QString> error);

    std::function<void(CodableCoordinate)> m_onCommit;
    std::unique_ptr<MapView> m_map;
    CodableCoordinate m_currentCenter;
    std::optional<QString> m_searchError;
    QLineEdit* m_search;
    QLabel* m_error;
    bool m_searching = false;
};

}  // namespace vantrel
