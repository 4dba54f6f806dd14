#include "analysis/ChartScrubber.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

void ChartScrubber::changed(double locationX, double plotLeft, double plotWidth) {
    settled = false;
    if (!(plotWidth > 0)) return;
    double fraction = (locationX - plotLeft) / plotWidth;
    if (std::isnan(fraction)) return;
    progress = std::clamp(fraction, 0.0, 1.0);
}

void ChartScrubber::clear() {
    progress.reset();
    settled = false;
}

std::optional<double> ChartScrubber::lineX(double xMax) const {
    if (!progress) return std::nullopt;
    return *progress * xMax;
}

}  // namespace vantrel
