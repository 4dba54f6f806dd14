#pragma once

#include <QRect>

class QWidget;

namespace vantrel::WindowPlacement {

/// `window` shrunk to fit `available` where it is larger, then moved inside it.
QRect fitted(const QRect& window, const QRect& available);
/// Fits a top-level window into the available area of the screen it is on (the primary one
/// when it is on none), before or after it is shown.
void fitToScreen(QWidget& window);

}  // namespace vantrel::WindowPlacement
