#include "app/sidebar/HistoryDelegate.h"

#include <QApplication>
#include <QPainter>

#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/RideHistoryRow.h"
#include "app/widgets/Icons.h"

namespace vantrel {

namespace {

HistoryModel::ItemKind kindOf(const QModelIndex& index) {
    return static_cast<HistoryModel::ItemKind>(index.data(HistoryModel::kItemKindRole).toInt());
}

}  // namespace

void HistoryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    auto* model = qobject_cast<const HistoryModel*>(index.model());
    switch (kindOf(index)) {
        case HistoryModel::ItemKind::year:
            paintYear(*painter, option, index);
            return;
        case HistoryModel::ItemKind::ride: {
            QStyleOptionViewItem background = option;
            initStyleOption(&background, index);
            background.text.clear();
            QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &background, painter);
            RideHistoryRow::make(*model->rideAt(index), model->unitSystem())
                .paint(*painter, option);
            return;
        }
        case HistoryModel::ItemKind::loading:
            QStyledItemDelegate::paint(painter, option, index);
            return;
    }
}

void HistoryDelegate::paintYear(QPainter& painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    painter.save();
    QRect area = option.rect.adjusted(4, 4, -4, -4);
    QColor accent = Icons::readableOn(option.palette.color(QPalette::Highlight),
                                      option.palette.color(QPalette::Base));
    QPixmap folder = Icons::pixmap("folder", accent, 16, painter.device()->devicePixelRatioF());
    if (!folder.isNull()) painter.drawPixmap(area.left(), area.top() + 4, folder);
    int textLeft = area.left() + 24;
    QFont headline = option.font;
    headline.setBold(true);
    painter.setFont(headline);
    painter.setPen(option.palette.color(QPalette::Text));
    QFontMetrics metrics(headline);
    painter.drawText(QPoint(textLeft, area.top() + metrics.ascent()), index.data().toString());
    painter.setFont(option.font);
    painter.setPen(option.palette.color(QPalette::PlaceholderText));
    painter.drawText(
        QPoint(textLeft, area.top() + metrics.height() + QFontMetrics(option.font).ascent()),
        index.data(HistoryModel::kCountRole).toString());
    painter.restore();
}

QSize HistoryDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QFontMetrics metrics(option.font);
    switch (kindOf(index)) {
        case HistoryModel::ItemKind::year:
            return {200, metrics.height() * 2 + 10};
        case HistoryModel::ItemKind::ride:
            return {200, RideHistoryRow::height(qobject_cast<const HistoryModel*>(index.model())
                                                    ->rideAt(index)
                                                    ->resolvedActivityType()
                                                    .has_value())};
        case HistoryModel::ItemKind::loading:
            return {200, metrics.height() + 12};
    }
    return {};
}

}  // namespace vantrel
