#pragma once

#include <string>
#include <vector>

#include "model/Date.h"
#include "model/Samples.h"
#include "model/UnitSystem.h"

namespace vantrel {

/// What the heart-rate / elevation / power chart is drawn from.
struct RideChartInputs {
    std::vector<HeartRateSample> samples;
    std::vector<RoutePoint> routePoints;
    std::vector<PowerSample> powerSamples;
    Date startDate = 0;
    double averageHR = 0;
    double maxHR = 0;
    UnitSystem unitSystem = UnitSystem::imperial;
};

struct ChartPoint {
    /// Minutes from the chart's time origin.
    double x = 0;
    double y = 0;
    friend bool operator==(const ChartPoint&, const ChartPoint&) = default;
};

/// A heart-rate tick on the trailing axis: its height in plot units and its text.
struct ChartTick {
    double y = 0;
    std::string label;
    friend bool operator==(const ChartTick&, const ChartTick&) = default;
};

enum class ChartLineColor { primary, blue };

/// The chart's prepared state: plotted series (at most 150 points each), scales and axis data,
/// ready to be drawn by any toolkit.
struct RideChartData {
    static constexpr std::size_t kMaxPlotPoints = 150;

    std::vector<ChartPoint> hrPlot;
    std::vector<ChartPoint> leftPlot;
    /// The instant at x = 0: the first power sample, else the first route point, else the
    /// first heart-rate reading, else the activity's start.
    Date timeOrigin = 0;
    /// Height of the average-heart-rate rule; 0 hides it.
    double avgHRScaled = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 1;
    double hrAxisLow = 0;
    double hrAxisHigh = 0;
    bool hasLeftData = false;
    /// "ft" or "m" for elevation, "W" for power.
    std::string leftAxisUnit;
    ChartLineColor leftLineColor = ChartLineColor::primary;
    bool dataReady = false;

    /// Ticks of the trailing heart-rate axis; empty unless heart rate is rescaled onto the
    /// left series.
    std::vector<ChartTick> heartRateTicks() const;
};

/// Prepares the chart. `previous` supplies the vertical domain kept when there is nothing to
/// plot.
RideChartData prepareChartData(const RideChartInputs& inputs, const RideChartData& previous = {});

/// At most 150 points, taken at evenly spaced indices (no averaging).
std::vector<ChartPoint> decimateChartPoints(const std::vector<ChartPoint>& points);

/// "Power & Heart Rate", "Power", "Heart Rate & Elevation", "Heart Rate" or "Elevation".
std::string chartTitle(const RideChartInputs& inputs);

/// The distance between ticks on an axis spanning `span`: the smallest 1, 2 or 5 × 10ⁿ (and at
/// least `least`) that gives no more than `mostTicks` intervals, so ticks fall on round values.
double roundTickStep(double span, int mostTicks = 6, double least = 1.0);

/// A value axis label: the whole number, truncated.
std::string chartAxisLabel(double value);
/// A heart-rate axis label: the whole number, truncated, followed by " bpm".
std::string heartRateAxisLabel(double bpm);

}  // namespace vantrel
