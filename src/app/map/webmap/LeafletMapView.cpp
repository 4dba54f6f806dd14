#include "app/map/webmap/LeafletMapView.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/map/webmap/MapPage.h"
#include "model/CacheFile.h"

namespace vantrel {

namespace {

constexpr int kMarkerFrameMs = 33;

QString number(double value) {
    return QString::number(value, 'g', 17);
}

QString coordinateJs(std::optional<CodableCoordinate> coordinate) {
    if (!coordinate) return QStringLiteral("null");
    return QStringLiteral("[%1,%2]").arg(number(coordinate->latitude),
                                         number(coordinate->longitude));
}

QString quoted(const QString& text) {
    // A one-element JSON array is the simplest exact way to quote a string for the page.
    QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

/// Calls back when the watched widget's palette changes (the desktop switched themes).
class PaletteWatcher : public QObject {
  public:
    PaletteWatcher(QWidget* watched, std::function<void()> changed)
        : QObject(watched), m_changed(std::move(changed)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) m_changed();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> m_changed;
};

/// The web view draws through a Qt Quick scene in a window of its own that is never shown.
/// Assistive technology lists every top-level window, so that one would appear as an empty
/// frame called "Offscreen" beside the application's windows; popups are left out of that
/// list, and a window that is never shown loses nothing by being typed as one.
void unlistOffscreenWindows() {
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (qstrcmp(window->metaObject()->className(), "QQuickWindow") == 0 &&
            !window->isVisible() && window->title() == QLatin1String("Offscreen") &&
            window->type() != Qt::Popup) {
            window->setFlag(Qt::Popup);
        }
    }
}

}  // namespace

QString LeafletMapView::tileCacheFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/vantrel/tiles");
}

QWebEngineProfile* LeafletMapView::profile(const QString& userAgent) {
    // One profile for every map, kept for the life of the process: pages must not outlive it.
    static QWebEngineProfile* shared = [&userAgent] {
        auto* result = new QWebEngineProfile(QStringLiteral("vantrel-map"));
        // A tile folder that is a symlink or someone else's is not filled: tiles are then kept
        // in memory for this run only.
        if (CacheFile::prepareFolder(tileCacheFolder().toStdString())) {
            result->setCachePath(tileCacheFolder());
            result->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        } else {
            result->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        }
        result->setHttpCacheMaximumSize(200 * 1024 * 1024);
        result->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        result->setHttpUserAgent(userAgent);
        return result;
    }();
    return shared;
}

LeafletMapView::LeafletMapView(const WebMapSettings& settings)
    : m_view(new QWebEngineView), m_channel(nullptr) {
    auto* page = new MapPage(profile(settings.userAgent), m_view);
    m_channel = new QWebChannel(page);
    m_bridge.setObjectName(QStringLiteral("bridge"));
    m_channel->registerObject(QStringLiteral("bridge"), &m_bridge);
    page->setWebChannel(m_channel);
    m_view->setPage(page);
    m_view->setAccessibleName(QStringLiteral("Map"));
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->setMinimumSize(200, 200);

    m_markerPacer.setSingleShot(true);
    m_markerPacer.setInterval(kMarkerFrameMs);
    QObject::connect(&m_markerPacer, &QTimer::timeout, &m_bridge, [this] { sendMarker(); });
    QObject::connect(&m_bridge, &MapBridge::ready, &m_bridge, [this] {
        m_ready = true;
        QStringList pending = std::move(m_pending);
        m_pending.clear();
        for (const QString& script : pending) run(script);
    });
    QObject::connect(&m_bridge, &MapBridge::camera, &m_bridge,
                     [this](const MapCamera& camera, bool byUser) {
                         m_camera = camera;
                         reportCamera(camera, byUser);
                     });

    QObject::connect(&m_bridge, &MapBridge::painted, &m_bridge, [this](int lines) {
        if (m_heatmapPainted) m_heatmapPainted(lines);
    });

    run(QStringLiteral("vantrel.setTiles(%1,%2,%3)")
            .arg(quoted(settings.tileURL), quoted(settings.attribution),
                 quoted(settings.imageSource)));
    followPalette();
    new PaletteWatcher(m_view, [this] { followPalette(); });
    QObject::connect(m_view, &QWebEngineView::loadFinished, &m_bridge, [this] {
        unlistOffscreenWindows();
        // The widget that takes the keyboard inside the view is the map to a screen reader.
        for (QWidget* inside : m_view->findChildren<QWidget*>())
            inside->setAccessibleName(m_view->accessibleName());
    });
    m_view->load(MapPage::pageUrl());
}

QColor LeafletMapView::groundColor(const QPalette& palette) {
    // A shade off the window's colour: the map's area stays recognisable without tiles, in a
    // light theme as in a dark one.
    QColor window = palette.color(QPalette::Window);
    return window.lightnessF() < 0.5 ? window.lighter(125) : window.darker(106);
}

void LeafletMapView::followPalette() {
    if (!m_view) return;
    run(QStringLiteral("vantrel.setGround(%1)")
            .arg(quoted(groundColor(m_view->palette()).name(QColor::HexRgb))));
}

LeafletMapView::~LeafletMapView() {
    delete m_view.data();
}

QWidget* LeafletMapView::widget() {
    return m_view;
}

void LeafletMapView::run(const QString& script) {
    if (!m_ready) {
        m_pending << script;
        return;
    }
    if (m_view) m_view->page()->runJavaScript(script);
}

void LeafletMapView::showRoute(const std::vector<CodableCoordinate>& all) {
    std::vector<CodableCoordinate> coordinates = simplifiedRoute(all);
    QString list;
    list.reserve(static_cast<qsizetype>(coordinates.size()) * 40 + 2);
    list += QLatin1Char('[');
    for (std::size_t i = 0; i < coordinates.size(); ++i) {
        if (i > 0) list += QLatin1Char(',');
        list += coordinateJs(coordinates[i]);
    }
    list += QLatin1Char(']');
    run(QStringLiteral("vantrel.setRoute(%1)").arg(list));
}

void LeafletMapView::showHeatmap(const HeatmapLines& lines) {
    QByteArray starts = QByteArray::fromRawData(reinterpret_cast<const char*>(lines.starts.data()),
                                                static_cast<qsizetype>(lines.starts.size()) *
                                                    static_cast<qsizetype>(sizeof(lines.starts[0])))
                            .toBase64();
    QString script;
    script.reserve(static_cast<qsizetype>(lines.pointText.size()) + starts.size() + 60);
    script += QStringLiteral("vantrel.setHeatmap(\"");
    script += QStringView(lines.pointText);
    script += QStringLiteral("\",%1,\"").arg(lines.pointCount);
    script += QLatin1String(starts);
    script += QStringLiteral("\")");
    run(script);
}

void LeafletMapView::showPin(std::optional<CodableCoordinate> coordinate) {
    run(QStringLiteral("vantrel.setPin(%1)").arg(coordinateJs(coordinate)));
}

void LeafletMapView::showMarker(std::optional<CodableCoordinate> coordinate, const QString& label) {
    m_pendingMarker =
        QStringLiteral("vantrel.setMarker(%1,%2)").arg(coordinateJs(coordinate), quoted(label));
    if (!m_markerPacer.isActive()) sendMarker();
}

void LeafletMapView::sendMarker() {
    if (!m_pendingMarker) return;
    run(*m_pendingMarker);
    m_pendingMarker.reset();
    m_markerPacer.start();
}

void LeafletMapView::showCenterPin(bool visible) {
    run(QStringLiteral("vantrel.setCenterPin(%1)")
            .arg(visible ? QStringLiteral("true") : QStringLiteral("false")));
}

void LeafletMapView::setCamera(const MapCamera& camera) {
    run(QStringLiteral("vantrel.setCamera(%1,%2,%3,%4)")
            .arg(number(camera.center.latitude), number(camera.center.longitude),
                 number(camera.spanLat), number(camera.spanLon)));
}

void LeafletMapView::setAutomaticCamera() {
    run(QStringLiteral("vantrel.setAutomatic()"));
}

}  // namespace vantrel
