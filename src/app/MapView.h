#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "model/Samples.h"

class QWidget;

namespace vantrel {

/// What a map shows: the centre and the span of the visible region, in degrees.
struct MapCamera {
    CodableCoordinate center;
    double spanLat = 0;
    double spanLon = 0;
    friend bool operator==(const MapCamera&, const MapCamera&) = default;
};

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
    /// A fixed symbol at the map's centre (the picker's crosshair pin).
    virtual void showCenterPin(bool visible) = 0;
    virtual void setCamera(const MapCamera& camera) = 0;
    /// Lets the map choose its own camera (nothing to show yet).
    virtual void setAutomaticCamera() = 0;
    /// The last camera the map reported, if any.
    virtual std::optional<MapCamera> camera() const = 0;

    /// Called each time the camera stops moving.
    void setCameraListener(CameraListener listener) { m_listener = std::move(listener); }

    using Factory = std::function<std::unique_ptr<MapView>()>;
    /// Makes a map with the installed factory (the web map unless a test replaced it).
    static std::unique_ptr<MapView> create();
    static void setFactory(Factory factory);

  protected:
    void reportCamera(const MapCamera& camera, bool byUser) const {
        if (m_listener) m_listener(camera, byUser);
    }

  private:
    CameraListener m_listener;
};

}  // namespace vantrel
