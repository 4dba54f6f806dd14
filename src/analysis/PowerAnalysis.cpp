#include "analysis/PowerAnalysis.h"

namespace vantrel {

PowerAnalysis analyzePower(const std::vector<PowerSample>& samples) {
    PowerAnalysis analysis;
    PowerCurve curve(samples);
    if (curve.empty()) return analysis;
    for (std::size_t i = 0; i < kBestPowerDurations.size(); ++i) {
        analysis.bestPowers[i] = curve.bestMeanPower(kBestPowerDurations[i].seconds);
    }
    analysis.normalizedPower = curve.normalizedPower();
    analysis.curve = curve.points();
    return analysis;
}

}  // namespace vantrel
