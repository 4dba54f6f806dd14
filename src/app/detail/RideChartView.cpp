#include "app/detail/RideChartView.h"

#include <QCategoryAxis>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/widgets/ChartPalette.h"
#include "app/widgets/Icons.h"

namespace vantrel {

namespace {

constexpr double kKeyStep = 0.01;
constexpr double kLargeKeyStep = 0.1;
const QColor kHeartRateColor(220, 45, 45);
const QColor kPowerColor(30, 110, 230);

QPen linePen(const QColor& color, qreal width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

/// Ticks at whole multiples of a round step, whatever the range's ends are.
void useRoundTicks(QValueAxis* axis, double low, double high) {
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(roundTickStep(high - low));
}

QList<QPointF> toQt(const std::vector<ChartPoint>& points) {
    QList<QPointF> result;
    result.reserve(static_cast<qsizetype>(points.size()));
    for (const ChartPoint& point : points) result.append(QPointF(point.x, point.y));
    return result;
}

}  // namespace

RideChartView::RideChartView(QWidget* parent)
    : QChartView(parent),
      m_heartRate(new QLineSeries),
      m_left(new QLineSeries),
      m_average(new QLineSeries) {
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(220);
    setRubberBand(QChartView::NoRubberBand);
    chart()->legend()->hide();
    chart()->setBackgroundRoundness(0);
    chart()->setMargins(QMargins(4, 4, 4, 4));
    chart()->addSeries(m_left);
    chart()->addSeries(m_heartRate);
    chart()->addSeries(m_average);
    m_heartRate->setPen(linePen(kHeartRateColor, 1.5));
    QColor averageColor = kHeartRateColor;
    averageColor.setAlphaF(0.5);
    QPen dashed(averageColor, 1.0);
    dashed.setDashPattern({4, 4});
    m_average->setPen(dashed);
    setToolTip(QStringLiteral("Drag across the chart to move the scrubber"));
    // Any change of the chart itself (data, layout, size) redraws the kept picture.
    connect(scene(), &QGraphicsScene::changed, this, [this] {
        m_picture = QPixmap();
        viewport()->update();
    });
}

void RideChartView::setData(const RideChartData& data, const QString& title) {
    m_data = data;
    m_title = title;
    chart()->setTitle(title);
    setAccessibleName(title);
    m_left->setPen(linePen(
        data.leftLineColor == ChartLineColor::blue ? kPowerColor : palette().color(QPalette::Text),
        1.5));
    fillSeries();
    buildAxes();
    viewport()->update();
}

void RideChartView::fillSeries() {
    m_left->replace(toQt(m_data.leftPlot));
    m_heartRate->replace(toQt(m_data.hrPlot));
    QList<QPointF> average;
    if (m_data.avgHRScaled > 0) {
        average = {QPointF(0, m_data.avgHRScaled), QPointF(m_data.xMax, m_data.avgHRScaled)};
    }
    m_average->replace(average);
}

void RideChartView::buildAxes() {
    for (QAbstractAxis* axis : chart()->axes()) {
        chart()->removeAxis(axis);
        delete axis;
    }
    m_timeAxis = new QValueAxis;
    m_timeAxis->setRange(0, m_data.xMax > 0 ? m_data.xMax : 1);
    useRoundTicks(m_timeAxis, 0, m_data.xMax > 0 ? m_data.xMax : 1);
    m_timeAxis->setLabelFormat(QStringLiteral("%d"));
    m_timeAxis->setTitleText(QStringLiteral("min"));
    chart()->addAxis(m_timeAxis, Qt::AlignBottom);

    auto* valueAxis = new QValueAxis;
    valueAxis->setRange(m_data.yMin, m_data.yMax);
    useRoundTicks(valueAxis, m_data.yMin, m_data.yMax);
    valueAxis->setLabelFormat(m_data.hasLeftData ? QStringLiteral("%d") : QStringLiteral("%d bpm"));
    if (m_data.hasLeftData) valueAxis->setTitleText(QString::fromStdString(m_data.leftAxisUnit));
    chart()->addAxis(valueAxis, Qt::AlignLeft);
    for (QLineSeries* series : {m_left, m_heartRate, m_average}) {
        series->attachAxis(m_timeAxis);
        series->attachAxis(valueAxis);
    }

    std::vector<ChartTick> ticks = m_data.heartRateTicks();
    QCategoryAxis* heartAxis = nullptr;
    if (!ticks.empty()) {
        // The trailing axis only labels heart rate; the line itself stays on the left scale.
        heartAxis = new QCategoryAxis;
        heartAxis->setRange(m_data.yMin, m_data.yMax);
        heartAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        for (const ChartTick& tick : ticks) {
            heartAxis->append(QString::fromStdString(tick.label), tick.y);
        }
        chart()->addAxis(heartAxis, Qt::AlignRight);
    }
    ChartPalette::follow(chart(), palette());
    if (heartAxis) heartAxis->setLabelsColor(kHeartRateColor);
}

void RideChartView::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    // A theme changed while the window is open: the ground, the axes and the elevation line,
    // drawn in the text colour, follow it.
    if (event->type() == QEvent::PaletteChange && m_data.dataReady) setData(m_data, m_title);
}

QRectF RideChartView::plotFrame() const {
    QRectF inScene = chart()->mapToScene(chart()->plotArea()).boundingRect();
    return mapFromScene(inScene).boundingRect();
}

void RideChartView::clearScrubber() {
    m_scrubber.clear();
    viewport()->update();
    emitChanged();
}

void RideChartView::dragTo(double viewX) {
    QRectF frame = plotFrame();
    m_scrubber.changed(viewX, frame.left(), frame.width());
    viewport()->update();
    emitChanged();
}

void RideChartView::emitChanged() {
    emit scrubberChanged(m_scrubber.progress, m_scrubber.settled);
}

void RideChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QChartView::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    dragTo(event->position().x());
}

void RideChartView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return QChartView::mouseMoveEvent(event);
    dragTo(event->position().x());
}

void RideChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QChartView::mouseReleaseEvent(event);
    m_scrubber.ended();
    emitChanged();
}

void RideChartView::keyPressEvent(QKeyEvent* event) {
    double step = event->modifiers() & Qt::ShiftModifier ? kLargeKeyStep : kKeyStep;
    double current = m_scrubber.progress.value_or(0);
    double next = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            next = current - step;
            break;
        case Qt::Key_Right:
            next = current + step;
            break;
        case Qt::Key_Home:
            next = 0;
            break;
        case Qt::Key_End:
            next = 1;
            break;
        default:
            return QChartView::keyPressEvent(event);
    }
    setProgress(next);
}

void RideChartView::setProgress(double progress) {
    m_scrubber.progress = std::clamp(progress, 0.0, 1.0);
    m_scrubber.settled = false;
    viewport()->update();
    emitChanged();
}

void RideChartView::keyReleaseEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (event->isAutoRepeat()) return;
            m_scrubber.ended();
            emitChanged();
            return;
        default:
            QChartView::keyReleaseEvent(event);
    }
}

QString RideChartView::scrubberLabel() const {
    std::optional<double> lineX = m_scrubber.lineX(m_data.xMax);
    if (!lineX) return {};
    QStringList parts;
    if (m_figuresAt) parts << m_figuresAt(*m_scrubber.progress);
    int minutes = static_cast<int>(*lineX);
    parts << QStringLiteral("%1:%2 min")
                 .arg(minutes)
                 .arg(static_cast<int>((*lineX - minutes) * 60), 2, 10, QLatin1Char('0'));
    return parts.join(QStringLiteral(" · "));
}

void RideChartView::paintEvent(QPaintEvent*) {
    QSize pixels = viewport()->size() * viewport()->devicePixelRatioF();
    if (m_picture.size() != pixels) {
        m_picture = QPixmap(pixels);
        m_picture.setDevicePixelRatio(viewport()->devicePixelRatioF());
        m_picture.fill(palette().color(QPalette::Base));
        QPainter picture(&m_picture);
        picture.setRenderHints(renderHints());
        render(&picture, QRectF(QPointF(0, 0), viewport()->size()), viewport()->rect());
    }
    QPainter painter(viewport());
    painter.drawPixmap(0, 0, m_picture);
    paintStretch(painter);
    paintScrubber(painter);
}

void RideChartView::markStretch(std::optional<std::pair<double, double>> minutes,
                                const QString& name) {
    m_stretch = minutes;
    // Screen readers hear where the record lies; sighted users see the shaded band.
    setAccessibleDescription(minutes ? QStringLiteral("%1 from minute %2 to minute %3")
                                           .arg(name)
                                           .arg(static_cast<int>(minutes->first))
                                           .arg(static_cast<int>(std::ceil(minutes->second)))
                                     : QString());
    viewport()->update();
}

void RideChartView::paintStretch(QPainter& painter) const {
    if (!m_stretch || !(m_data.xMax > 0)) return;
    QRectF plot = plotFrame();
    auto xOf = [&](double minutes) {
        return plot.left() + std::clamp(minutes / m_data.xMax, 0.0, 1.0) * plot.width();
    };
    QColor band = Icons::accent(palette());
    band.setAlphaF(0.18f);
    painter.fillRect(QRectF(QPointF(xOf(m_stretch->first), plot.top()),
                            QPointF(xOf(m_stretch->second), plot.bottom())),
                     band);
}

void RideChartView::paintScrubber(QPainter& painter) const {
    if (!m_scrubber.progress) return;
    QRectF plot = plotFrame();
    double x = plot.left() + *m_scrubber.progress * plot.width();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(
        Icons::readableOn(palette().color(QPalette::Highlight), palette().color(QPalette::Base)),
        1.5));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    QString label = scrubberLabel();
    QFontMetricsF metrics(painter.font());
    QRectF box = metrics.boundingRect(label).adjusted(-6, -3, 6, 3);
    double left = x + 6;
    if (left + box.width() > plot.right()) left = x - 6 - box.width();
    box.moveTopLeft(QPointF(std::max(left, plot.left()), plot.top() + 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Base));
    painter.setOpacity(0.9);
    painter.drawRoundedRect(box, 4, 4);
    painter.setOpacity(1.0);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(box, Qt::AlignCenter, label);
    painter.restore();
}

}  // namespace vantrel
