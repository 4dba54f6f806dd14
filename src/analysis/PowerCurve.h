#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "model/Samples.h"

namespace vantrel {

/// One point of a mean-maximal power curve: the best mean power held for `seconds`.
struct PowerCurvePoint {
    double seconds = 0;
    double watts = 0;
    friend bool operator==(const PowerCurvePoint&, const PowerCurvePoint&) = default;
};

/// A power series as a function of time, for best mean powers and Normalized Power. Each
/// sample holds until the next one; after a gap longer than `kLongestHeldGap` the device was
/// off or paused, so its sample holds for one second and the rest of the gap counts as 0 W.
/// The last sample holds for one second. Memory and time are linear in the number of samples,
/// whatever the timestamps say.
class PowerCurve {
  public:
    static constexpr double kLongestHeldGap = 10;

    /// Samples may come in any order; those with a time or wattage that is not a finite
    /// number, or negative watts, are left out.
    explicit PowerCurve(const std::vector<PowerSample>& samples);

    bool empty() const { return m_times.size() < 2; }
    /// Seconds from the first sample to the end of the last one; 0 when empty.
    double length() const;

    /// The best mean power over any `seconds`-long stretch; absent when the series is shorter,
    /// or `seconds` is not positive.
    std::optional<double> bestMeanPower(double seconds) const;
    /// When the stretch that `bestMeanPower` measures starts, on the samples' clock (one of
    /// them when several are as strong); absent when `bestMeanPower` is.
    std::optional<double> bestStretchStart(double seconds) const;
    /// The fourth root of the mean fourth power of the 30-s rolling mean, taken each second;
    /// 0 for a series shorter than 30 s.
    double normalizedPower() const;

    /// The durations a curve is drawn at, 1 s to 24 h, roughly evenly on a log scale. Records
    /// keep one value per duration, so that the curves of many activities can be combined.
    static const std::vector<double>& standardDurations();
    /// The best mean power at each standard duration (absent beyond the series' length).
    std::vector<std::optional<double>> standardBests() const;
    /// The curve at the standard durations the series covers, and at its whole length.
    std::vector<PowerCurvePoint> points() const;

  private:
    struct Window {
        double start;
        double energy;
    };
    std::optional<Window> bestWindow(double seconds) const;
    void addSegment(double end, double watts);
    /// Energy up to `time`, with `segment` moved forward to the segment that holds it.
    double energyAt(double time, std::size_t& segment) const;

    // Segment k runs from m_times[k] to m_times[k + 1] at m_watts[k]; m_energy[k] is the energy
    // (joules) from the start to m_times[k].
    std::vector<double> m_times;
    std::vector<double> m_watts;
    std::vector<double> m_energy;
};

}  // namespace vantrel
