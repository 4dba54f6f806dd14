#include "app/widgets/PowerCurveChart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QEvent>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/widgets/ChartPalette.h"

namespace vantrel {

namespace {

const QColor kPowerColor(0x1E, 0x6F, 0xD9);

/// Where the time axis is labelled; the curve's own length closes it.
struct TimeTick {
    double seconds;
    const char* label;
};

// Short labels: the detail column is narrow, and longer ones would be cut off.
constexpr TimeTick kTimeTicks[] = {
    {1, "1s"},     {5, "5s"},    {15, "15s"},  {60, "1m"},    {300, "5m"},
    {1200, "20m"}, {3600, "1h"}, {7200, "2h"}, {18000, "5h"}, {36000, "10h"},
};

}  // namespace

PowerCurveChart::PowerCurveChart(const QString& accessibleName, QWidget* parent)
    : QChartView(parent), m_line(new QLineSeries) {
    setAccessibleName(accessibleName);
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(220);
    chart()->legend()->hide();
    chart()->setMargins(QMargins(4, 4, 4, 4));
    chart()->setBackgroundRoundness(0);
    QPen pen(kPowerColor);
    pen.setWidthF(2);
    m_line->setPen(pen);
    chart()->addSeries(m_line);
    ChartPalette::follow(chart(), palette());
}

void PowerCurveChart::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) ChartPalette::follow(chart(), palette());
}

void PowerCurveChart::setCurve(const std::vector<PowerCurvePoint>& curve) {
    m_curve = curve;
    QList<QPointF> points;
    // A log axis has no place for 0 s; seconds are plotted as their logarithm.
    for (const auto& point : curve) {
        if (point.seconds >= 1) points.append(QPointF(std::log10(point.seconds), point.watts));
    }
    m_line->replace(points);
    buildAxes();
}

void PowerCurveChart::buildAxes() {
    for (QAbstractAxis* axis : chart()->axes()) {
        chart()->removeAxis(axis);
        delete axis;
    }
    double longest = m_curve.empty() ? 60 : std::max(m_curve.back().seconds, 2.0);
    auto* time = new QCategoryAxis;
    time->setRange(0, std::log10(longest));
    time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (const auto& tick : kTimeTicks) {
        if (tick.seconds <= longest)
            time->append(QString::fromUtf8(tick.label), std::log10(tick.seconds));
    }
    chart()->addAxis(time, Qt::AlignBottom);

    double highest = 0;
    for (const auto& point : m_curve) highest = std::max(highest, point.watts);
    auto* watts = new QValueAxis;
    watts->setRange(0, highest > 0 ? highest * 1.05 : 100);
    // Round steps (100 W, 200 W …) rather than fifths of the largest value.
    watts->applyNiceNumbers();
    watts->setLabelFormat(QStringLiteral("%d W"));
    chart()->addAxis(watts, Qt::AlignLeft);
    m_line->attachAxis(time);
    m_line->attachAxis(watts);
    // Qt Charts draws black on white whatever the theme; the new axes take the palette's colours.
    ChartPalette::follow(chart(), palette());
}

}  // namespace vantrel
