#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/MapCamera.h"
#include "model/Samples.h"

class QWidget;

namespace vantrel {

class Preferences;

/// Where a web map takes its tiles from, and how it introduces itself to the tile server.
struct WebMapSettings {
    QString tileURL;
    /// The tile server's credit as safe markup (see TileCredit).
    QString attribution;
    /// The one source, besides data: addresses, that the page may load images from.
    QString imageSource;
    QString userAgent;
};

/// Every line of a heatmap, packed for a quick hand-over to the map page as it is built (off
/// the main thread). Per point, `pointText` holds the change in latitude and in longitude
/// from the line's previous point (from zero at a line's first point) in millionths of a
/// degree: one character for a change under 16,384, else a zero marker and two characters of
/// 15 bits each. Every character lies in U+0800..U+87FF, so the text goes into a script as a
/// string literal as it is: a fifth of the size of the points' numbers in base64, which at
/// 100,000 activities took the page over a second to receive. (No library packs numbers as
/// script-safe text; this is our own.)
struct HeatmapLines {
    std::u16string pointText;
    std::uint32_t pointCount = 0;
    std::vector<std::uint32_t> starts;

    /// Appends one line; lines of fewer than two points are left out.
    void add(const std::vector<CodableCoordinate>& line);
    std::size_t lineCount() const { return starts.size(); }
};

/// The route as drawn: at most about `maxPoints` points, dropping those that lie within a tiny
/// fraction of the route's extent of the line through their neighbours, so a long recording
/// draws fast and looks the same. What is computed from the route never uses this.
std::vector<CodableCoordinate> simplifiedRoute(const std::vector<CodableCoordinate>& coordinates,
                                               std::size_t maxPoints = 4000);

/// The map beside the detail column and inside the location picker. The rest of the app only
/// talks to this interface, so tests can use a fake instead of the web engine.
class MapView {
  public:
    /// `byUser` is false for the moves the app asked for itself (fitting a route, opening on a
    /// stored region); only the user's moves may be stored with an activity.
    using CameraListener = std::function<void(const MapCamera& camera, bool byUser)>;

    virtual ~MapView() = default;

    virtual QWidget* widget() = 0;
    /// The route line; an empty list removes it.
    virtual void showRoute(const std::vector<CodableCoordinate>& coordinates) = 0;
    /// The location pin of a single-point activity; absent removes it.
    virtual void showPin(std::optional<CodableCoordinate> coordinate) = 0;
    /// The retrace marker with its label; absent removes it.
    virtual void showMarker(std::optional<CodableCoordinate> coordinate, const QString& label) = 0;
    /// Every line at once as a density layer whose colour shows how often a street was used,
    /// the camera set on where most of them are; an empty set removes the layer.
    virtual void showHeatmap(const HeatmapLines& lines) = 0;
    /// A fixed symbol at the map's centre (the picker's crosshair pin).
    virtual void showCenterPin(bool visible) = 0;
    virtual void setCamera(const MapCamera& camera) = 0;
    /// Lets the map choose its own camera (nothing to show yet).
    virtual void setAutomaticCamera() = 0;
    /// The last camera the map reported, if any.
    virtual std::optional<MapCamera> camera() const = 0;

    /// Called each time the camera stops moving.
    void setCameraListener(CameraListener listener) { m_listener = std::move(listener); }

    using Factory = std::function<std::unique_ptr<MapView>(Preferences& preferences)>;
    /// Makes a map with the installed factory: unless a test replaced it, the web map from its
    /// module (loaded on first use) with the tile server `preferences` name, or a notice in its
    /// place when the module cannot load.
    static std::unique_ptr<MapView> create(Preferences& preferences);
    static void setFactory(Factory factory);
    /// The tile server of the "tileURL" preference (OpenStreetMap's standard tiles by default).
    static WebMapSettings webMapSettings(Preferences& preferences);
    /// What the web engine needs before the application object exists: when running as root
    /// (containers, CI), the sandbox switch the engine refuses to start without. Loads nothing.
    static void prepareProcess();

  protected:
    void reportCamera(const MapCamera& camera, bool byUser) const {
        if (m_listener) m_listener(camera, byUser);
    }

  private:
    CameraListener m_listener;
};

}  // namespace vantrel
