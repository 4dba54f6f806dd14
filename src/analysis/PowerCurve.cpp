#include "analysis/PowerCurve.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr double kSamplePeriod = 1;
// Rounding of sums of times must not cost a window that spans the whole series.
constexpr double kTimeTolerance = 1e-6;
constexpr double kRollingWindow = 30;

std::vector<PowerSample> usableSamples(const std::vector<PowerSample>& samples) {
    std::vector<PowerSample> usable;
    usable.reserve(samples.size());
    for (const auto& sample : samples) {
        if (std::isfinite(sample.timestamp) && std::isfinite(sample.watts) && sample.watts >= 0)
            usable.push_back(sample);
    }
    std::stable_sort(usable.begin(), usable.end(),
                     [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
    return usable;
}

}  // namespace

PowerCurve::PowerCurve(const std::vector<PowerSample>& samples) {
    auto usable = usableSamples(samples);
    if (usable.empty()) return;
    m_times.reserve(usable.size() + 1);
    m_times.push_back(usable.front().timestamp);
    m_energy.push_back(0);
    for (std::size_t i = 0; i < usable.size(); ++i) {
        double start = usable[i].timestamp;
        double next = i + 1 < usable.size() ? usable[i + 1].timestamp : start + kSamplePeriod;
        // A later sample at the same time takes over at once.
        if (next <= start) continue;
        if (next - start > kLongestHeldGap) {
            addSegment(start + kSamplePeriod, usable[i].watts);
            addSegment(next, 0);
        } else {
            addSegment(next, usable[i].watts);
        }
    }
}

void PowerCurve::addSegment(double end, double watts) {
    double start = m_times.back();
    m_energy.push_back(m_energy.back() + watts * (end - start));
    m_watts.push_back(watts);
    m_times.push_back(end);
}

double PowerCurve::length() const {
    return empty() ? 0 : m_times.back() - m_times.front();
}

double PowerCurve::energyAt(double time, std::size_t& segment) const {
    const std::size_t last = m_watts.size() - 1;
    while (segment < last && m_times[segment + 1] <= time) ++segment;
    return m_energy[segment] + m_watts[segment] * (time - m_times[segment]);
}

// The energy of a window is piecewise linear in its start, with kinks where either end meets a
// segment boundary; its largest value is at such a kink. Both kinds are walked once each, with
// cursors that only move forward.
std::optional<PowerCurve::Window> PowerCurve::bestWindow(double seconds) const {
    if (empty() || !(seconds > 0) || seconds > length() + kTimeTolerance) return std::nullopt;
    const double first = m_times.front();
    const double last = m_times.back();
    Window best{first, 0};
    auto offer = [&best](double start, double energy) {
        if (energy > best.energy) best = Window{start, energy};
    };
    std::size_t cursor = 0;
    for (std::size_t k = 0; k < m_times.size() && m_times[k] + seconds <= last + kTimeTolerance;
         ++k) {
        offer(m_times[k], energyAt(std::min(m_times[k] + seconds, last), cursor) - m_energy[k]);
    }
    cursor = 0;
    for (std::size_t k = 0; k < m_times.size(); ++k) {
        double start = m_times[k] - seconds;
        if (start < first - kTimeTolerance) continue;
        start = std::max(start, first);
        offer(start, m_energy[k] - energyAt(start, cursor));
    }
    return best;
}

std::optional<double> PowerCurve::bestMeanPower(double seconds) const {
    std::optional<Window> best = bestWindow(seconds);
    if (!best) return std::nullopt;
    return best->energy / seconds;
}

std::optional<double> PowerCurve::bestStretchStart(double seconds) const {
    std::optional<Window> best = bestWindow(seconds);
    if (!best) return std::nullopt;
    return best->start;
}

double PowerCurve::normalizedPower() const {
    if (length() < kRollingWindow) return 0;
    const double first = m_times.front();
    const double last = m_times.back();
    double sum = 0;
    double count = 0;
    std::size_t trailing = 0;
    std::size_t leading = 0;
    for (double t = first + kRollingWindow; t <= last;) {
        double rolling =
            (energyAt(t, leading) - energyAt(t - kRollingWindow, trailing)) / kRollingWindow;
        if (trailing == leading && m_watts[leading] == 0) {
            // Inside a long stop every rolling mean is 0: count the seconds to its end at once.
            double steps = std::floor((std::min(m_times[leading + 1], last) - t)) + 1;
            count += steps;
            t += steps;
            continue;
        }
        double squared = rolling * rolling;
        sum += squared * squared;
        count += 1;
        t += 1;
    }
    return count > 0 ? std::pow(sum / count, 0.25) : 0;
}

const std::vector<double>& PowerCurve::standardDurations() {
    static const std::vector<double> durations = {
        1,     2,     3,     5,     10,    15,    20,    30,    45,    60,   90,   120,
        180,   240,   300,   420,   600,   900,   1200,  1800,  2700,  3600, 5400, 7200,
        10800, 14400, 18000, 21600, 28800, 36000, 43200, 57600, 72000, 86400};
    return durations;
}

std::vector<std::optional<double>> PowerCurve::standardBests() const {
    std::vector<std::optional<double>> bests;
    for (double seconds : standardDurations()) bests.push_back(bestMeanPower(seconds));
    return bests;
}

std::vector<PowerCurvePoint> PowerCurve::points() const {
    std::vector<PowerCurvePoint> curve;
    for (double seconds : standardDurations()) {
        auto watts = bestMeanPower(seconds);
        if (!watts) break;
        curve.push_back({seconds, *watts});
    }
    double whole = length();
    if (!empty() && (curve.empty() || curve.back().seconds < whole)) {
        curve.push_back({whole, m_energy.back() / whole});
    }
    return curve;
}

}  // namespace vantrel
