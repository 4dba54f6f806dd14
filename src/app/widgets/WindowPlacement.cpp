#include "app/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace vantrel::WindowPlacement {

namespace {

QRect availableAround(const QWidget& window) {
    QScreen* screen = QGuiApplication::screenAt(window.geometry().center());
    if (!screen) screen = window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

QRect fitted(const QRect& window, const QRect& available) {
    if (available.isEmpty()) return window;
    QSize size(std::min(window.width(), available.width()),
               std::min(window.height(), available.height()));
    QPoint topLeft(
        std::clamp(window.left(), available.left(), available.right() - size.width() + 1),
        std::clamp(window.top(), available.top(), available.bottom() - size.height() + 1));
    return {topLeft, size};
}

void fitToScreen(QWidget& window) {
    // The frame (title bar, borders) is known only once shown; its size counts against the
    // screen too.
    QRect frame = window.frameGeometry();
    QRect inner = window.geometry();
    QMargins decoration(inner.left() - frame.left(), inner.top() - frame.top(),
                        frame.right() - inner.right(), frame.bottom() - inner.bottom());
    QRect placed = fitted(frame, availableAround(window));
    if (placed == frame) return;
    window.setGeometry(placed.marginsRemoved(decoration));
}

}  // namespace vantrel::WindowPlacement
