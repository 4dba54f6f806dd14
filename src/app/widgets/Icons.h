#pragma once

#include <QIcon>
#include <QPalette>
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
/// The colour of symbols that stand for something (row icons, year folders): the palette's
/// highlight, made lighter or darker where it would be hard to see on the window's ground, as
/// the deep blue highlight of many dark themes is.
QColor accent(const QPalette& palette);
/// `color`, lightened on a dark `ground` or darkened on a light one until the two contrast at
/// least 3 : 1 (the least that symbols need to be made out).
QColor readableOn(QColor color, const QColor& ground);
/// The application's own icon.
QIcon applicationIcon();

}  // namespace Icons

}  // namespace vantrel
