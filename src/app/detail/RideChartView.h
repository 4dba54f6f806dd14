#pragma once

#include <QChartView>
#include <QPixmap>
#include <optional>

#include "analysis/ChartScrubber.h"
#include "analysis/RideChartData.h"

class QLineSeries;
class QValueAxis;

namespace vantrel {

/// The heart-rate / elevation / power chart of the detail view with its scrubber. The plotted
/// series are the prepared ones (at most 150 points each), so drawing and dragging cost the same
/// however long the activity is; the scrubber itself works on the full-resolution progress.
class RideChartView : public QChartView {
    Q_OBJECT
  public:
    explicit RideChartView(QWidget* parent = nullptr);

    /// Shows prepared data under `title`; the title is also the chart's accessible name.
    void setData(const RideChartData& data, const QString& title);
    const RideChartData& data() const { return m_data; }
    QString title() const { return m_title; }

    const ChartScrubber& scrubber() const { return m_scrubber; }
    void clearScrubber();
    /// Puts the scrubber at `progress` (clamped to 0…1) as a drag would; it is not settled.
    void setProgress(double progress);
    /// The text next to the scrubber line ("" without a position).
    QString scrubberLabel() const;
    /// Where the plot area lies in the view's coordinates (for drags and tests).
    QRectF plotFrame() const;

  signals:
    /// The scrubber moved or was cleared; `progress` is absent after a clear.
    void scrubberChanged(std::optional<double> progress, bool settled);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void buildAxes();
    void fillSeries();
    void dragTo(double viewX);
    void emitChanged();
    void paintScrubber(QPainter& painter) const;
    /// The plotted value of `points` nearest to chart minute `x`.
    static std::optional<double> valueNear(const std::vector<ChartPoint>& points, double x);

    RideChartData m_data;
    QString m_title;
    ChartScrubber m_scrubber;
    QLineSeries* m_heartRate;
    QLineSeries* m_left;
    QLineSeries* m_average;
    QValueAxis* m_timeAxis = nullptr;
    /// The chart as last drawn: a scrubber move only draws its line over this picture, so
    /// dragging costs the same however busy the chart is.
    QPixmap m_picture;
};

}  // namespace vantrel
