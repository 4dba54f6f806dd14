#pragma once

#include <QGroupBox>

#include "analysis/PowerAnalysis.h"

namespace vantrel {

class PowerCurveChart;

/// "Power Curve": the activity's mean-maximal power over a log time axis, and its best 5 s,
/// 1 min, 5 min, 20 min and 60 min powers as rows (those the activity is long enough for).
class PowerCurveSection : public QGroupBox {
    Q_OBJECT
  public:
    explicit PowerCurveSection(const PowerAnalysis& power, QWidget* parent = nullptr);

    PowerCurveChart* chart() const { return m_chart; }

  private:
    PowerCurveChart* m_chart;
};

}  // namespace vantrel
