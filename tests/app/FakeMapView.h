#pragma once

#include <QLabel>
#include <QPointer>

#include "app/map/MapView.h"

namespace vantrel::test {

/// A map that only remembers what it was asked to show, with a way to play the user's moves.
class FakeMapView : public MapView {
  public:
    FakeMapView() : m_widget(new QLabel(QStringLiteral("map"))) {
        m_widget->setAccessibleName(QStringLiteral("Map"));
    }
    ~FakeMapView() override { delete m_widget.data(); }

    QWidget* widget() override { return m_widget; }
    void showRoute(const std::vector<CodableCoordinate>& coordinates) override {
        route = coordinates;
    }
    void showPin(std::optional<CodableCoordinate> coordinate) override { pin = coordinate; }
    void showMarker(std::optional<CodableCoordinate> coordinate, const QString& label) override {
        marker = coordinate;
        markerLabel = coordinate ? label : QString();
    }
    void showHeatmap(const HeatmapLines& lines) override {
        heatmap = lines;
        ++heatmapShown;
    }
    void showCenterPin(bool visible) override { centerPin = visible; }
    void setCamera(const MapCamera& camera) override {
        requested = camera;
        automatic = false;
        m_camera = camera;
        reportCamera(camera, false);
    }
    void setAutomaticCamera() override {
        requested.reset();
        automatic = true;
    }
    std::optional<MapCamera> camera() const override { return m_camera; }

    /// The user pans or zooms and the camera comes to rest at `camera`.
    void userMovesTo(const MapCamera& camera) {
        m_camera = camera;
        reportCamera(camera, true);
    }

    std::vector<CodableCoordinate> route;
    std::optional<CodableCoordinate> pin;
    std::optional<CodableCoordinate> marker;
    QString markerLabel;
    bool centerPin = false;
    HeatmapLines heatmap;
    int heatmapShown = 0;
    std::optional<MapCamera> requested;
    bool automatic = false;

  private:
    QPointer<QLabel> m_widget;
    std::optional<MapCamera> m_camera;
};

}  // namespace vantrel::test
