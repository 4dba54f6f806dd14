#include "app/detail/ZoomableImage.h"

#include <QGestureEvent>
#include <QPainter>
#include <QPinchGesture>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr double kIgnoredChange = 0.01;
constexpr double kSnapBackBelow = 1.05;
// One wheel notch (120 units) zooms by a tenth.
constexpr double kWheelStepFactor = 1.1;

}  // namespace

ZoomableImage::ZoomableImage(QWidget* parent) : QWidget(parent), m_wheelEnd(new QTimer(this)) {
    setAccessibleName(QStringLiteral("Photo"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(200, 150);
    grabGesture(Qt::PinchGesture);
    m_wheelEnd->setSingleShot(true);
    m_wheelEnd->setInterval(300);
    connect(m_wheelEnd, &QTimer::timeout, this, &ZoomableImage::endMagnification);
}

void ZoomableImage::setImageData(const Bytes& bytes) {
    m_image = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()));
    m_zoom = 1.0;
    m_gestureStart.reset();
    update();
}

void ZoomableImage::magnify(double magnification) {
    if (!m_gestureStart) m_gestureStart = m_zoom;
    double zoom = std::clamp(*m_gestureStart * magnification, kMinZoom, kMaxZoom);
    if (!std::isfinite(zoom) || std::fabs(zoom - m_zoom) < kIgnoredChange) return;
    m_zoom = zoom;
    update();
}

void ZoomableImage::endMagnification() {
    m_gestureStart.reset();
    if (m_zoom < kSnapBackBelow && m_zoom != 1.0) {
        m_zoom = 1.0;
        update();
    }
}

bool ZoomableImage::event(QEvent* event) {
    if (event->type() != QEvent::Gesture) return QWidget::event(event);
    auto* gestures = static_cast<QGestureEvent*>(event);
    if (auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture))) {
        if (pinch->state() == Qt::GestureStarted) m_gestureStart = m_zoom;
        magnify(pinch->totalScaleFactor());
        if (pinch->state() == Qt::GestureFinished || pinch->state() == Qt::GestureCanceled) {
            endMagnification();
        }
        gestures->accept(pinch);
    }
    return true;
}

void ZoomableImage::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QWidget::wheelEvent(event);
        return;
    }
    if (!m_gestureStart) m_gestureStart = m_zoom;
    double notches = event->angleDelta().y() / 120.0;
    double magnification = m_zoom * std::pow(kWheelStepFactor, notches) / *m_gestureStart;
    magnify(magnification);
    m_wheelEnd->start();
    event->accept();
}

void ZoomableImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_image.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QSizeF fitted = QSizeF(m_image.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio) * m_zoom;
    QRectF target(QPointF(0, 0), fitted);
    target.moveCenter(QRectF(rect()).center());
    painter.drawImage(target, m_image);
}

}  // namespace vantrel
