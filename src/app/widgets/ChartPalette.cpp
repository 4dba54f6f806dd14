#include "app/widgets/ChartPalette.h"

#include <QAbstractAxis>
#include <QChart>
#include <QLegend>
#include <QPalette>
#include <QPen>

namespace vantrel::ChartPalette {

void follow(QChart* chart, const QPalette& palette) {
    QColor text = palette.color(QPalette::Text);
    QColor line = palette.color(QPalette::Mid);
    QColor grid = text;
    grid.setAlphaF(0.15f);
    chart->setBackgroundBrush(palette.color(QPalette::Base));
    chart->setBackgroundPen(Qt::NoPen);
    chart->setTitleBrush(text);
    chart->legend()->setLabelColor(text);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsColor(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(line);
        axis->setGridLineColor(grid);
        axis->setMinorGridLineColor(grid);
    }
}

}  // namespace vantrel::ChartPalette
