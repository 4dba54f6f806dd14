#include "app/widgets/Icons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <map>

namespace vantrel::Icons {

namespace {

// Symbol name → file of the icon set. Names without a close match take the nearest idea
// (a person figure for the fitness figures, a truck for the RV).
const std::map<std::string_view, const char*>& symbolFiles() {
    static const std::map<std::string_view, const char*> files = {
        {"bicycle", "bicycle"},
        {"figure.outdoor.cycle", "bicycle"},
        {"figure.indoor.cycle", "bicycle"},
        {"figure.run", "person-walking"},
        {"figure.run.treadmill", "person-walking"},
        {"figure.walk", "person-walking"},
        {"figure.hiking", "signpost-2"},
        {"figure.pool.swim", "water"},
        {"figure.water.fitness", "water"},
        {"figure.mixed.cardio", "person-arms-up"},
        {"car.fill", "car-front-fill"},
        {"bus.fill", "bus-front-fill"},
        {"truck.box.fill", "truck"},
        {"sailboat", "water"},
        {"airplane", "airplane"},
        {"ferry.fill", "water"},
        {"sun.max.fill", "sun-fill"},
        {"sun.min.fill", "sun"},
        {"cloud.sun.fill", "cloud-sun-fill"},
        {"cloud.fill", "cloud-fill"},
        {"cloud.fog.fill", "cloud-fog-fill"},
        {"cloud.drizzle.fill", "cloud-drizzle-fill"},
        {"cloud.rain.fill", "cloud-rain-fill"},
        {"cloud.heavyrain.fill", "cloud-rain-heavy-fill"},
        {"cloud.snow.fill", "cloud-snow-fill"},
        {"cloud.bolt.rain.fill", "cloud-lightning-rain-fill"},
        {"thermometer", "thermometer-half"},
        {"humidity", "droplet-fill"},
        {"wind", "wind"},
        {"aqi.medium", "lungs"},
        {"flag", "flag"},
        {"mountain.2", "triangle"},
        {"photo", "image"},
        {"photo.on.rectangle", "images"},
        {"plus", "plus-lg"},
        {"trash.fill", "trash-fill"},
        {"chevron.left", "chevron-left"},
        {"chevron.right", "chevron-right"},
        {"calendar", "calendar"},
        {"clock", "clock"},
        {"clock.badge.checkmark", "clock-history"},
        {"timer", "stopwatch"},
        {"point.topleft.down.to.point.bottomright.curvepath", "sign-turn-right"},
        {"arrow.up.right", "arrow-up-right"},
        {"speedometer", "speedometer2"},
        {"gauge", "speedometer"},
        {"bolt", "lightning-charge"},
        {"bolt.fill", "lightning-charge-fill"},
        {"arrow.triangle.2.circlepath", "arrow-repeat"},
        {"mappin", "geo-alt"},
        {"mappin.and.ellipse", "geo-alt-fill"},
        {"heart", "heart"},
        {"heart.fill", "heart-fill"},
        {"flame", "fire"},
        {"square.and.arrow.down", "box-arrow-in-down"},
        {"square.and.arrow.up", "box-arrow-up"},
        {"folder", "folder"},
        {"checkmark.circle", "check-circle"},
        {"doc.text", "file-earmark-text"},
        {"doc.on.doc", "files"},
        {"scissors", "scissors"},
        {"info.circle", "info-circle"},
        {"arrow.uturn.backward", "arrow-counterclockwise"},
        {"ellipsis.circle", "three-dots"},
        {"xmark.circle.fill", "x-circle-fill"},
        {"questionmark.circle", "question-circle"},
        {"magnifyingglass", "search"},
        {"chart.bar.fill", "bar-chart-fill"},
        {"mappin.circle.fill", "geo-alt-fill"},
    };
    return files;
}

QByteArray tintedSvg(const QString& path, const QColor& color) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    // The set draws with currentColor, so one replacement recolours the whole picture.
    return file.readAll().replace("currentColor", color.name(QColor::HexRgb).toUtf8());
}

/// Relative luminance as the contrast formula of the web's accessibility guidelines defines it.
double luminance(const QColor& color) {
    auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    double lighter = std::max(luminance(a), luminance(b));
    double darker = std::min(luminance(a), luminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

constexpr double kLeastSymbolContrast = 3.0;

}  // namespace

QColor readableOn(QColor color, const QColor& ground) {
    bool darkGround = luminance(ground) < 0.18;
    // Each step moves the value by a quarter; ten steps reach white or black from any colour.
    for (int step = 0; step < 10 && contrast(color, ground) < kLeastSymbolContrast; ++step)
        color = darkGround ? color.lighter(125) : color.darker(125);
    if (contrast(color, ground) < kLeastSymbolContrast)
        color = darkGround ? QColor(Qt::white) : QColor(Qt::black);
    return color;
}

QColor accent(const QPalette& palette) {
    return readableOn(palette.color(QPalette::Highlight), palette.color(QPalette::Window));
}

QString resourcePath(std::string_view symbolName) {
    const auto& files = symbolFiles();
    auto found = files.find(symbolName);
    if (found == files.end()) return {};
    QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(found->second));
    return QFile::exists(path) ? path : QString();
}

QPixmap pixmap(std::string_view symbolName, const QColor& color, int size, qreal devicePixelRatio) {
    QString path = resourcePath(symbolName);
    if (path.isEmpty()) return {};
    QSvgRenderer renderer(tintedSvg(path, color));
    int pixels = qRound(size * devicePixelRatio);
    QPixmap result(pixels, pixels);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    renderer.render(&painter);
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon icon(std::string_view symbolName, const QColor& color, int size) {
    QPixmap normal = pixmap(symbolName, color, size, 2.0);
    if (normal.isNull()) return {};
    QIcon result(normal);
    result.addPixmap(pixmap(symbolName, QColor(255, 255, 255), size, 2.0), QIcon::Selected);
    return result;
}

QIcon applicationIcon() {
    return QIcon(QStringLiteral(":/icons/vantrel.svg"));
}

}  // namespace vantrel::Icons
