#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

#include "model/Bytes.h"

class QTimer;

namespace vantrel {

/// One photo filling its page, zoomed about its centre by a pinch or by Ctrl + wheel. The zoom
/// stays within 1…5; a change below 0.01 is ignored, and a zoom that ends below 1.05 snaps back
/// to 1 so that a nearly unzoomed picture is never left slightly off.
class ZoomableImage : public QWidget {
    Q_OBJECT
  public:
    explicit ZoomableImage(QWidget* parent = nullptr);

    /// Decodes the full image from the stored bytes; a null image when they do not decode.
    void setImageData(const Bytes& bytes);
    const QImage& image() const { return m_image; }
    double zoom() const { return m_zoom; }

    /// A magnification gesture in progress: `magnification` relative to the zoom the gesture
    /// started from (1 = unchanged).
    void magnify(double magnification);
    /// The gesture ended.
    void endMagnification();

    static constexpr double kMinZoom = 1.0;
    static constexpr double kMaxZoom = 5.0;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QImage m_image;
    double m_zoom = 1.0;
    /// The zoom when the running gesture started; absent between gestures.
    std::optional<double> m_gestureStart;
    /// Wheel zooming has no end event; a pause in the wheel ends it.
    QTimer* m_wheelEnd;
};

}  // namespace vantrel
