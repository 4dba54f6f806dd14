#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <string_view>

namespace vantrel {

/// Pictures for the symbol names the views use ("bicycle", "figure.run", "cloud.rain.fill", …),
/// drawn from the SVG icon set compiled into the application.
namespace Icons {

/// The embedded resource path for a symbol name; empty when the set has no picture for it
/// (or the application was built without the icon set).
QString resourcePath(std::string_view symbolName);
/// The symbol rendered at `size` device-independent pixels in `color`; a null icon when missing.
QIcon icon(std::string_view symbolName, const QColor& color, int size = 16);
QPixmap pixmap(std::string_view symbolName, const QColor& color, int size, qreal devicePixelRatio);
/// The application's own icon.
QIcon applicationIcon();

}  // namespace Icons

}  // namespace vantrel
