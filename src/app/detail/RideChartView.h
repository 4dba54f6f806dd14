#pragma once

#include <QChartView>
#include <QPixmap>
#include <functional>
#include <optional>
#include <utility>

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
    /// The text next to the scrubber line ("" without a position): the figures at the position
    /// (from `setFiguresAt`) and the time on the chart's axis.
    QString scrubberLabel() const;
    /// What the label says about a progress, from whoever owns the full-resolution series.
    void setFiguresAt(std::function<QString(double progress)> figuresAt) {
        m_figuresAt = std::move(figuresAt);
    }
    /// Shades a stretch of the time axis (minutes, as the plot's x) named `name` ("Fastest
    /// 5 km"): where a record was set. Absent removes it.
    void markStretch(std::optional<std::pair<double, double>> minutes, const QString& name = {});
    std::optional<std::pair<double, double>> markedStretch() const { return m_stretch; }
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
    void changeEvent(QEvent* event) override;

  private:
    void buildAxes();
    void fillSeries();
    void dragTo(double viewX);
    void emitChanged();
    void paintScrubber(QPainter& painter) const;
    void paintStretch(QPainter& painter) const;

    RideChartData m_data;
    QString m_title;
    ChartScrubber m_scrubber;
    std::function<QString(double)> m_figuresAt;
    std::optional<std::pair<double, double>> m_stretch;
    QLineSeries* m_heartRate;
    QLineSeries* m_left;
    QLineSeries* m_average;
    QValueAxis* m_timeAxis = nullptr;
    /// The chart as last drawn: a scrubber move only draws its line over this picture, so
    /// dragging costs the same however busy the chart is.
    QPixmap m_picture;
};

}  // namespace vantrel
