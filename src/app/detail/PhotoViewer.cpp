#include "app/detail/PhotoViewer.h"

#include <QGestureEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSwipeGesture>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/detail/ZoomableImage.h"
#include "app/widgets/Icons.h"

namespace vantrel {

PhotoViewer::PhotoViewer(RideRef ride, int startIndex, DeleteAction onDelete, QWidget* parent)
    : QDialog(parent),
      m_ride(std::move(ride)),
      m_onDelete(std::move(onDelete)),
      m_photos(m_ride->sortedPhotos()),
      m_image(new ZoomableImage),
      m_position(new QLabel) {
    setWindowTitle(QStringLiteral("Photos"));
    setAccessibleName(QStringLiteral("Photo Viewer"));
    resize(900, 680);
    grabGesture(Qt::SwipeGesture);

    QColor plain = palette().color(QPalette::WindowText);
    m_previous = makeButton("chevron.left", QStringLiteral("Previous Photo"), plain);
    m_next = makeButton("chevron.right", QStringLiteral("Next Photo"), plain);
    QToolButton* trash = makeButton("trash.fill", QStringLiteral("Delete Photo"), Qt::red);
    QToolButton* close = makeButton("xmark.circle.fill", QStringLiteral("Close"), plain);
    connect(m_previous, &QToolButton::clicked, this, &PhotoViewer::previous);
    connect(m_next, &QToolButton::clicked, this, &PhotoViewer::next);
    connect(trash, &QToolButton::clicked, this, &PhotoViewer::deleteCurrent);
    connect(close, &QToolButton::clicked, this, &QDialog::reject);

    auto* bar = new QHBoxLayout;
    bar->addWidget(trash);
    bar->addStretch();
    bar->addWidget(m_previous);
    bar->addWidget(m_position);
    bar->addWidget(m_next);
    bar->addStretch();
    bar->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_image, 1);
    layout->addLayout(bar);
    showPage(startIndex);
}

QToolButton* PhotoViewer::makeButton(const char* symbol, const QString& name,
                                     const QColor& colour) {
    auto* button = new QToolButton;
    button->setIcon(Icons::icon(symbol, colour, 22));
    button->setIconSize(QSize(22, 22));
    button->setAutoRaise(true);
    button->setToolTip(name);
    button->setAccessibleName(name);
    // The arrow keys page through the photos rather than move focus between buttons.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

int PhotoViewer::pageCount() const {
    return static_cast<int>(m_photos.size());
}

void PhotoViewer::showPage(int index) {
    if (m_photos.empty()) return;
    m_index = std::clamp(index, 0, pageCount() - 1);
    const RidePhoto& photo = m_photos[static_cast<std::size_t>(m_index)];
    m_image->setImageData(photo.imageData ? *photo.imageData : Bytes{});
    updateControls();
}

void PhotoViewer::next() {
    if (m_index + 1 < pageCount()) showPage(m_index + 1);
}

void PhotoViewer::previous() {
    if (m_index > 0) showPage(m_index - 1);
}

void PhotoViewer::deleteCurrent() {
    if (m_photos.empty() || !m_onDelete) return;
    if (!m_onDelete(m_photos[static_cast<std::size_t>(m_index)].photoID)) return;
    m_photos = m_ride->sortedPhotos();
    if (m_photos.empty()) {
        accept();
        return;
    }
    showPage(m_index);
}

void PhotoViewer::updateControls() {
    m_position->setText(QStringLiteral("%1 of %2").arg(m_index + 1).arg(pageCount()));
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < pageCount());
}

void PhotoViewer::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            previous();
            break;
        case Qt::Key_Right:
            next();
            break;
        default:
            QDialog::keyPressEvent(event);  // Escape closes
    }
}

bool PhotoViewer::event(QEvent* event) {
    if (event->type() != QEvent::Gesture) return QDialog::event(event);
    auto* gestures = static_cast<QGestureEvent*>(event);
    if (auto* swipe = static_cast<QSwipeGesture*>(gestures->gesture(Qt::SwipeGesture))) {
        if (swipe->state() == Qt::GestureFinished) {
            // Swiping left brings the next photo in from the right, as on a phone.
            if (swipe->horizontalDirection() == QSwipeGesture::Left) next();
            if (swipe->horizontalDirection() == QSwipeGesture::Right) previous();
        }
        gestures->accept(swipe);
    }
    return true;
}

}  // namespace vantrel
