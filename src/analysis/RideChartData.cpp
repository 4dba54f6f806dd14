#include "analysis/RideChartData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vantrel {

namespace {

constexpr double kLeftMargin = 20.0;
constexpr double kHeartRateMargin = 10.0;
constexpr double kDefaultHeartRateHigh = 210.0;
constexpr std::size_t kMaxTicks = 100;

/// The index of the i-th kept point when `count` points are thinned to the plot maximum.
std::size_t decimatedIndex(std::size_t count, std::size_t i) {
    if (count <= RideChartData::kMaxPlotPoints) return i;
    double spacing =
        static_cast<double>(count) / static_cast<double>(RideChartData::kMaxPlotPoints);
    auto index = static_cast<std::size_t>(spacing * static_cast<double>(i));
    return std::min(count - 1, index);
}

/// Decimates before mapping so that a long activity never builds its full series.
template <typename Sample, typename PointOf>
std::vector<ChartPoint> plotOf(const std::vector<Sample>& samples, PointOf pointOf) {
    std::size_t kept = std::min(samples.size(), RideChartData::kMaxPlotPoints);
    std::vector<ChartPoint> plot;
    plot.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i)
        plot.push_back(pointOf(samples[decimatedIndex(samples.size(), i)]));
    return plot;
}

Date timeOrigin(const RideChartInputs& inputs) {
    if (!inputs.powerSamples.empty()) return inputs.powerSamples.front().timestamp;
    if (!inputs.routePoints.empty()) return inputs.routePoints.front().timestamp;
    if (!inputs.samples.empty()) return inputs.samples.front().timestamp;
    return inputs.startDate;
}

double minutesFrom(Date origin, Date time) {
    return std::max(0.0, (time - origin) / 60.0);
}

struct Range {
    double low = 0;
    double high = 0;
    double span() const { return high - low; }
};

Range leftRange(const std::vector<ChartPoint>& plot) {
    if (plot.empty()) return {-kLeftMargin, 1000.0 + kLeftMargin};
    auto [lowest, highest] = std::minmax_element(
        plot.begin(), plot.end(), [](const auto& a, const auto& b) { return a.y < b.y; });
    return {lowest->y - kLeftMargin, highest->y + kLeftMargin};
}

Range heartRateRange(const std::vector<HeartRateSample>& samples) {
    if (samples.empty()) return {0.0, kDefaultHeartRateHigh};
    auto [lowest, highest] = std::minmax_element(
        samples.begin(), samples.end(), [](const auto& a, const auto& b) { return a.bpm < b.bpm; });
    return {std::max(0.0, lowest->bpm - kHeartRateMargin), highest->bpm + kHeartRateMargin};
}

/// Maps heart rate onto the left series' range, or leaves it in bpm when there is none.
struct HeartRateScale {
    Range heartRate;
    Range left;
    bool rescale = false;
    double operator()(double bpm) const {
        if (!rescale) return bpm;
        return left.low + left.span() * (bpm - heartRate.low) / heartRate.span();
    }
};

void fillLeftSeries(const RideChartInputs& inputs, Date origin, RideChartData& data) {
    if (!inputs.powerSamples.empty()) {
        data.leftPlot = plotOf(inputs.powerSamples, [&](const PowerSample& sample) {
            return ChartPoint{minutesFrom(origin, sample.timestamp), sample.watts};
        });
        data.leftAxisUnit = "W";
        data.leftLineColor = ChartLineColor::blue;
        return;
    }
    bool metric = inputs.unitSystem == UnitSystem::metric;
    double factor = metric ? 1.0 : kFeetPerMetre;
    data.leftPlot = plotOf(inputs.routePoints, [&](const RoutePoint& point) {
        return ChartPoint{minutesFrom(origin, point.timestamp), point.altitude * factor};
    });
    data.leftAxisUnit = metric ? "m" : "ft";
    data.leftLineColor = ChartLineColor::primary;
}

double lastX(const std::vector<ChartPoint>& plot) {
    return plot.empty() ? 0.0 : plot.back().x;
}

std::string truncatedText(double value, const char* suffix) {
    constexpr double kLimit = 9.2e18;
    long long whole =
        std::isfinite(value) ? static_cast<long long>(std::clamp(value, -kLimit, kLimit)) : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%lld%s", whole, suffix);
    return text;
}

}  // namespace

std::vector<ChartPoint> decimateChartPoints(const std::vector<ChartPoint>& points) {
    return plotOf(points, [](const ChartPoint& point) { return point; });
}

RideChartData prepareChartData(const RideChartInputs& inputs, const RideChartData& previous) {
    RideChartData data;
    Date origin = timeOrigin(inputs);
    data.timeOrigin = origin;
    fillLeftSeries(inputs, origin, data);
    Range left = leftRange(data.leftPlot);
    Range heartRate = heartRateRange(inputs.samples);
    HeartRateScale scale{heartRate, left, !data.leftPlot.empty() && heartRate.span() > 0};
    data.hrPlot = plotOf(inputs.samples, [&](const HeartRateSample& sample) {
        return ChartPoint{minutesFrom(origin, sample.timestamp), scale(sample.bpm)};
    });
    data.avgHRScaled = inputs.averageHR > 0 ? scale(inputs.averageHR) : 0.0;
    data.xMax = std::max(lastX(data.leftPlot), lastX(data.hrPlot));
    data.hrAxisLow = heartRate.low;
    data.hrAxisHigh = heartRate.high;
    data.hasLeftData = !data.leftPlot.empty();
    if (data.hasLeftData) {
        data.yMin = left.low;
        data.yMax = left.high;
    } else if (!data.hrPlot.empty()) {
        data.yMin = heartRate.low;
        data.yMax = heartRate.high;
    } else {
        data.yMin = previous.yMin;
        data.yMax = previous.yMax;
    }
    data.dataReady = true;
    return data;
}

std::vector<ChartTick> RideChartData::heartRateTicks() const {
    std::vector<ChartTick> ticks;
    double range = hrAxisHigh - hrAxisLow;
    if (!hasLeftData || !(range > 0)) return ticks;
    double step = std::ceil(range * 0.25 / 10.0) * 10.0;
    double first = std::ceil(hrAxisLow / step) * step;
    for (double value = first; value <= hrAxisHigh && ticks.size() < kMaxTicks; value += step) {
        double y = (yMax - yMin) * (value - hrAxisLow) / range + yMin;
        double represented = hrAxisLow + (y - yMin) / (yMax - yMin) * range;
        ticks.push_back({y, heartRateAxisLabel(represented)});
    }
    return ticks;
}

std::string chartTitle(const RideChartInputs& inputs) {
    bool hasPower = !inputs.powerSamples.empty();
    bool hasHeartRate = !inputs.samples.empty();
    if (hasPower) return hasHeartRate ? "Power & Heart Rate" : "Power";
    if (inputs.routePoints.size() >= 2 && hasHeartRate) return "Heart Rate & Elevation";
    if (hasHeartRate) return "Heart Rate";
    return "Elevation";
}

double roundTickStep(double span, int mostTicks, double least) {
    if (!(span > 0) || !std::isfinite(span) || mostTicks < 1) return least;
    double rough = span / mostTicks;
    double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double multiple : {1.0, 2.0, 5.0, 10.0}) {
        if (multiple * power >= rough) return std::max(least, multiple * power);
    }
    return std::max(least, 10.0 * power);
}

std::string chartAxisLabel(double value) {
    return truncatedText(value, "");
}

std::string heartRateAxisLabel(double bpm) {
    return truncatedText(bpm, " bpm");
}

}  // namespace vantrel
