#pragma once

#include <QChartView>
#include <vector>

#include "analysis/PowerCurve.h"

class QLineSeries;

namespace vantrel {

/// A mean-maximal power curve: watts over a logarithmic time axis from 1 s to the curve's
/// longest duration, labelled in seconds, minutes and hours.
class PowerCurveChart : public QChartView {
    Q_OBJECT
  public:
    /// `accessibleName` names the chart for screen readers and tests.
    explicit PowerCurveChart(const QString& accessibleName, QWidget* parent = nullptr);

    void setCurve(const std::vector<PowerCurvePoint>& curve);
    const std::vector<PowerCurvePoint>& curve() const { return m_curve; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void buildAxes();

    std::vector<PowerCurvePoint> m_curve;
    QLineSeries* m_line;
};

}  // namespace vantrel
