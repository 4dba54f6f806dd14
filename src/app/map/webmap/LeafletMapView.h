#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWebEngineView>

#include "app/map/MapView.h"

class QWebEngineProfile;
class QWebChannel;

namespace vantrel {

/// The object the map page talks to over the web channel.
class MapBridge : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

  public slots:
    void pageReady() { emit ready(); }
    void cameraChanged(double lat, double lon, double spanLat, double spanLon, bool byUser) {
        emit camera(MapCamera{{lat, lon}, spanLat, spanLon}, byUser);
    }
    void heatmapPainted(int lines) { emit painted(lines); }

  signals:
    void ready();
    void camera(const vantrel::MapCamera& camera, bool byUser);
    void painted(int lines);
};

/// The map drawn by the bundled Leaflet page in a web view. Tiles come from the given server
/// through a disk cache; without tiles the route still draws on a plain background. Calls made
/// before the page is ready are kept and sent once it is.
///
/// It lives in a module of its own that the app loads when the first map is needed: merely
/// loading the web engine's libraries costs more than the rest of the start-up.
class LeafletMapView : public MapView {
  public:
    explicit LeafletMapView(const WebMapSettings& settings);
    ~LeafletMapView() override;

    /// $XDG_CACHE_HOME/vantrel/tiles (default ~/.cache/vantrel/tiles).
    static QString tileCacheFolder();

    QWidget* widget() override;
    void showRoute(const std::vector<CodableCoordinate>& coordinates) override;
    void showPin(std::optional<CodableCoordinate> coordinate) override;
    void showMarker(std::optional<CodableCoordinate> coordinate, const QString& label) override;
    void showHeatmap(const HeatmapLines& lines) override;
    void showCenterPin(bool visible) override;
    void setCamera(const MapCamera& camera) override;
    void setAutomaticCamera() override;
    std::optional<MapCamera> camera() const override { return m_camera; }

    bool isReady() const { return m_ready; }
    /// Called with the number of lines once the page has painted a heatmap it was given.
    void setHeatmapPaintedListener(std::function<void(int lines)> listener) {
        m_heatmapPainted = std::move(listener);
    }
    QWebEngineView* webView() const { return m_view; }
    /// The plain ground drawn where no tiles are, for a palette.
    static QColor groundColor(const QPalette& palette);

  private:
    static QWebEngineProfile* profile(const QString& userAgent);
    void run(const QString& script);
    void sendMarker();
    void followPalette();

    QPointer<QWebEngineView> m_view;
    MapBridge m_bridge;
    QWebChannel* m_channel;
    bool m_ready = false;
    QStringList m_pending;
    std::optional<MapCamera> m_camera;
    /// Scrubber moves arrive faster than the page can draw; only the latest is sent per frame.
    QTimer m_markerPacer;
    std::optional<QString> m_pendingMarker;
    std::function<void(int)> m_heatmapPainted;
};

}  // namespace vantrel
