#include "app/detail/PowerCurveSection.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "app/widgets/PowerCurveChart.h"
#include "app/widgets/StatRow.h"

namespace vantrel {

PowerCurveSection::PowerCurveSection(const PowerAnalysis& power, QWidget* parent)
    : QGroupBox(QStringLiteral("Power Curve"), parent),
      m_chart(new PowerCurveChart(QStringLiteral("Power curve"))) {
    auto* layout = new QVBoxLayout(this);
    m_chart->setCurve(power.curve);
    layout->addWidget(m_chart);
    auto* form = StatRow::makeForm(nullptr);
    for (std::size_t i = 0; i < kBestPowerDurations.size(); ++i) {
        auto watts = power.bestPowers[i];
        if (!watts) continue;
        QString label = QStringLiteral("Best %1").arg(
            QString::fromUtf8(kBestPowerDurations[i].label.data(),
                              static_cast<qsizetype>(kBestPowerDurations[i].label.size())));
        StatRow::add(form, "bolt", label, QString::asprintf("%.0f W", *watts));
    }
    layout->addLayout(form);
}

}  // namespace vantrel
