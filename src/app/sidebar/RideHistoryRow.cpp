#include "app/sidebar/RideHistoryRow.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionViewItem>

#include "app/widgets/DisplayFormat.h"
#include "app/widgets/Icons.h"

namespace vantrel {

namespace {

constexpr int kPadding = 6;
constexpr int kIconSize = 12;
constexpr int kFigureGap = 12;

QString spokenDescription(const PersistedRide& ride, const RideHistoryRow& row, UnitSystem system) {
    QStringList parts;
    if (!row.typeName.isEmpty()) parts << row.typeName;
    parts << QStringLiteral("Ride on ") + DisplayFormat::longDate(ride.date);
    parts << DisplayFormat::text(formatDuration(ride.duration));
    parts << DisplayFormat::text(formatDistance(ride.distance, system));
    parts << DisplayFormat::text(formatElevationGain(ride.elevationGain, system)) +
                 QStringLiteral(" elevation gain");
    if (ride.averageHeartRate > 0) {
        parts << QStringLiteral("average heart rate ") +
                     DisplayFormat::heartRate(ride.averageHeartRate);
    }
    return parts.join(QStringLiteral(", "));
}

QFont scaledFont(const QFont& base, double factor, bool bold) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

int iconWidth(const std::string& symbol) {
    return Icons::resourcePath(symbol).isEmpty() ? 0 : kIconSize + 3;
}

void paintFigures(QPainter& painter, const std::vector<RideHistoryRow::Figure>& figures,
                  QPoint origin, int width, const QColor& color) {
    int x = origin.x();
    QFontMetrics metrics(painter.font());
    std::vector<QString> texts = RideHistoryRow::fitted(figures, metrics, width);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        QPixmap icon = Icons::pixmap(figures[i].symbol, color, kIconSize,
                                     painter.device()->devicePixelRatioF());
        if (!icon.isNull()) {
            painter.drawPixmap(x, origin.y() + (metrics.height() - kIconSize) / 2, icon);
            x += kIconSize + 3;
        }
        painter.drawText(QPoint(x, origin.y() + metrics.ascent()), texts[i]);
        x += metrics.horizontalAdvance(texts[i]) + kFigureGap;
    }
}

}  // namespace

std::vector<QString> RideHistoryRow::fitted(const std::vector<Figure>& figures,
                                            const QFontMetrics& metrics, int width) {
    std::vector<QString> texts;
    int x = 0;
    for (const auto& figure : figures) {
        int room = width - x - iconWidth(figure.symbol);
        if (metrics.horizontalAdvance(figure.text) <= room) {
            texts.push_back(figure.text);
            x += iconWidth(figure.symbol) + metrics.horizontalAdvance(figure.text) + kFigureGap;
            continue;
        }
        // The first figure that does not fit ends the line, shortened where it has room to
        // say something; the row's tooltip and spoken description keep every figure whole.
        if (room > metrics.horizontalAdvance(QStringLiteral("00…")))
            texts.push_back(metrics.elidedText(figure.text, Qt::ElideRight, room));
        break;
    }
    return texts;
}

RideHistoryRow RideHistoryRow::make(const PersistedRide& ride, UnitSystem system) {
    RideHistoryRow row;
    row.date = DisplayFormat::shortDate(ride.date);
    if (auto type = ride.resolvedActivityType()) {
        row.typeName = DisplayFormat::text(std::string(displayName(*type)));
        row.typeSymbol = iconName(*type);
    }
    row.firstFigures.push_back({"timer", DisplayFormat::text(formatDuration(ride.duration))});
    row.firstFigures.push_back({"point.topleft.down.to.point.bottomright.curvepath",
                                DisplayFormat::text(formatDistance(ride.distance, system))});
    if (ride.city) row.firstFigures.push_back({"mappin", DisplayFormat::text(*ride.city)});
    row.secondFigures.push_back(
        {"arrow.up.right", DisplayFormat::text(formatElevationGain(ride.elevationGain, system))});
    row.secondFigures.push_back({"heart", DisplayFormat::heartRate(ride.averageHeartRate)});
    row.secondFigures.push_back({"heart.fill", DisplayFormat::heartRate(ride.maxHeartRate)});
    row.accessibleDescription = spokenDescription(ride, row, system);
    return row;
}

int RideHistoryRow::height(bool withKind) {
    QFontMetrics metrics(QApplication::font());
    return kPadding * 2 + metrics.height() * (withKind ? 4 : 3) + (withKind ? 6 : 4);
}

void RideHistoryRow::paint(QPainter& painter, const QStyleOptionViewItem& option) const {
    bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    QColor primary = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = selected ? primary : palette.color(QPalette::PlaceholderText);
    QRect area = option.rect.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    painter.save();
    painter.setClipRect(option.rect);

    QFont headline = scaledFont(option.font, 1.0, true);
    painter.setFont(headline);
    painter.setPen(primary);
    QFontMetrics headlineMetrics(headline);
    painter.drawText(QPoint(area.left(), area.top() + headlineMetrics.ascent()),
                     headlineMetrics.elidedText(date, Qt::ElideRight, area.width()));
    int y = area.top() + headlineMetrics.height() + 1;

    QFont caption = scaledFont(option.font, 0.85, false);
    painter.setFont(caption);
    painter.setPen(secondary);
    if (!typeName.isEmpty()) {
        paintFigures(painter, {{typeSymbol, typeName}}, QPoint(area.left(), y), area.width(),
                     secondary);
        y += QFontMetrics(caption).height() + 2;
    }

    QFont subheadline = scaledFont(option.font, 0.92, false);
    painter.setFont(subheadline);
    int lineHeight = QFontMetrics(subheadline).height() + 2;
    paintFigures(painter, firstFigures, QPoint(area.left(), y), area.width(), secondary);
    paintFigures(painter, secondFigures, QPoint(area.left(), y + lineHeight), area.width(),
                 secondary);
    painter.restore();
}

}  // namespace vantrel
