#include "export/GPXWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace vantrel {

namespace {

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx creator=\"Vantrel\" version=\"1.1\"\n"
    "  xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
    "  xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\"";
// Declared only for an activity with power, so that every other document stays as it was.
constexpr const char* kPowerNamespace =
    "\n  xmlns:pwr=\"http://www.garmin.com/xmlschemas/PowerExtension/v1\"";

// A heart-rate sample counts for a point less than 30 s away; a power sample only within the
// same second either way, since power changes from one second to the next.
constexpr double kHeartRateWindow = 30;
const double kPowerWindow = std::nextafter(1.0, 2.0);

/// Samples by time, for finding the one nearest to a route point.
class SampleMatcher {
  public:
    /// `value` reads a sample's value; `window` is the distance a sample must stay below.
    template <typename Sample, typename Value>
    SampleMatcher(const std::vector<Sample>& samples, Value value, double window)
        : m_window(window) {
        std::vector<std::size_t> order(samples.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return earlier(samples[a].timestamp, samples[b].timestamp);
        });
        for (std::size_t index : order) {
            m_times.push_back(samples[index].timestamp);
            m_values.push_back(value(samples[index]));
        }
    }

    bool empty() const { return m_times.empty(); }

    /// The value of the nearer of the two samples around `time` when it lies less than the
    /// window away; on a tie the earlier sample.
    std::optional<double> match(Date time) const {
        if (m_times.empty()) return std::nullopt;
        auto lo = static_cast<std::size_t>(
            std::lower_bound(m_times.begin(), m_times.end(), time, earlier) - m_times.begin());
        std::size_t first = std::max<std::size_t>(lo, 1) - 1;
        std::size_t last = std::min(lo, m_times.size() - 1);
        double best = m_window;
        std::optional<double> value;
        for (std::size_t i = first; i <= last; ++i) {
            double difference = std::fabs(m_times[i] - time);
            if (difference < best) {
                best = difference;
                value = m_values[i];
            }
        }
        return value;
    }

  private:
    // NaN times sort last, so that the order stays strict and the search stays defined.
    static bool earlier(double a, double b) {
        if (std::isnan(a)) return false;
        return std::isnan(b) || a < b;
    }

    double m_window;
    std::vector<Date> m_times;
    std::vector<double> m_values;
};

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

/// Whole seconds with the fraction dropped; values no integer can hold count as zero.
long long wholeSeconds(double seconds) {
    constexpr double kLimit = 9.2e18;
    if (!std::isfinite(seconds) || std::fabs(seconds) > kLimit) return 0;
    return static_cast<long long>(seconds);
}

/// A bpm as a whole number, or absent for values no integer can hold.
std::optional<long long> wholeBpm(double bpm) {
    constexpr double kLimit = 9.2e18;
    if (!std::isfinite(bpm) || std::fabs(bpm) > kLimit) return std::nullopt;
    return static_cast<long long>(bpm);
}

/// Watts rounded to a whole number, as the power extension holds them; absent for values no
/// reading can have.
std::optional<long long> wholeWatts(double watts) {
    constexpr double kLimit = 1e9;
    if (!std::isfinite(watts) || watts < 0 || watts > kLimit) return std::nullopt;
    return std::llround(watts);
}

/// "%.1f": to_chars with a precision rounds exactly as printf does.
void appendElevation(std::string& out, double metres) {
    char buffer[400];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, metres, std::chars_format::fixed, 1);
    out.append(buffer, result.ptr);
}

std::string description(const PersistedRide& ride) {
    double active = ride.activeTime > 0 ? ride.activeTime : ride.duration;
    return "Duration: " + gpxDurationText(ride.duration) +
           ", Active Time: " + gpxDurationText(active);
}

void appendTrack(std::string& out, const PersistedRide& ride) {
    auto type = ride.resolvedActivityType();
    std::string name = type ? std::string(displayName(*type)) : "Ride";
    std::string gpx = type ? std::string(gpxType(*type)) : "ride";
    // A time no four-digit year can hold is left out rather than written empty.
    out += "  <metadata>\n";
    if (isFormattableISO8601(ride.date))
        out += "    <time>" + formatISO8601(ride.date) + "</time>\n";
    out += "  </metadata>\n";
    out += "  <trk>\n";
    out += "    <name>" + escaped(name) + "</name>\n";
    out += "    <desc>" + escaped(description(ride)) + "</desc>\n";
    out += "    <type>" + escaped(gpx) + "</type>\n";
}

/// Point times at 1 Hz share all but their seconds: the minute's text is formatted once.
class PointTimeFormatter {
  public:
    /// Only for formattable times (`isFormattableISO8601`).
    std::string text(Date time) {
        if (!(time >= 0)) return formatISO8601(time);
        double whole = std::floor(time);
        double minute = std::floor(whole / 60) * 60;
        if (minute != m_minute) {
            m_minute = minute;
            m_prefix = formatISO8601(minute);
            m_prefix.resize(m_prefix.size() - 3);  // "00Z"
        }
        auto seconds = static_cast<int>(whole - minute);
        std::string result = m_prefix;
        result += static_cast<char>('0' + seconds / 10);
        result += static_cast<char>('0' + seconds % 10);
        result += 'Z';
        return result;
    }

  private:
    double m_minute = -1;
    std::string m_prefix;
};

/// What a point carries besides its position and time.
struct PointReadings {
    std::optional<double> bpm;
    std::optional<double> watts;
};

void appendExtensions(std::string& out, std::optional<long long> hr,
                      std::optional<long long> watts) {
    out += "        <extensions>\n";
    if (hr) {
        out += "          <gpxtpx:TrackPointExtension>\n";
        out += "            <gpxtpx:hr>";
        out += std::to_string(*hr);
        out += "</gpxtpx:hr>\n";
        out += "          </gpxtpx:TrackPointExtension>\n";
    }
    if (watts) {
        out += "          <pwr:PowerInWatts>";
        out += std::to_string(*watts);
        out += "</pwr:PowerInWatts>\n";
    }
    out += "        </extensions>\n";
}

void appendPoint(std::string& out, const RoutePoint& point, PointReadings readings,
                 PointTimeFormatter& times) {
    out += "      <trkpt lat=\"";
    out += gpxCoordinateText(point.coordinate.latitude);
    out += "\" lon=\"";
    out += gpxCoordinateText(point.coordinate.longitude);
    out += "\">\n        <ele>";
    appendElevation(out, point.altitude);
    out += "</ele>\n";
    // The point keeps its place and position when its stored time cannot be written.
    if (isFormattableISO8601(point.timestamp)) {
        out += "        <time>";
        out += times.text(point.timestamp);
        out += "</time>\n";
    }
    std::optional<long long> hr = readings.bpm ? wholeBpm(*readings.bpm) : std::nullopt;
    std::optional<long long> watts = readings.watts ? wholeWatts(*readings.watts) : std::nullopt;
    if (hr || watts) appendExtensions(out, hr, watts);
    out += "      </trkpt>\n";
}

}  // namespace

std::string gpxDurationText(double seconds) {
    long long total = wholeSeconds(seconds);
    long long hours = total / 3600, minutes = total % 3600 / 60, rest = total % 60;
    char buffer[64];
    if (total < 3600) {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", total / 60, rest);
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", hours, minutes, rest);
    }
    return buffer;
}

std::string gpxCoordinateText(double degrees) {
    constexpr double kFixedFrom = 1e-4;
    constexpr double kFixedBelow = 9007199254740992.0;  // 2^53
    double magnitude = std::fabs(degrees);
    char buffer[400];
    bool fixed = magnitude == 0 || (magnitude >= kFixedFrom && magnitude < kFixedBelow);
    auto result = std::to_chars(buffer, buffer + sizeof buffer, degrees,
                                fixed ? std::chars_format::fixed : std::chars_format::scientific);
    std::string text(buffer, result.ptr);
    if (fixed && std::isfinite(degrees) && text.find('.') == std::string::npos) text += ".0";
    return text;
}

std::string buildGPX(const PersistedRide& ride) {
    std::vector<RoutePoint> points = ride.routePoints();
    SampleMatcher heartRate(
        ride.heartRateSamples(), [](const HeartRateSample& sample) { return sample.bpm; },
        kHeartRateWindow);
    SampleMatcher power(
        ride.powerSamples(), [](const PowerSample& sample) { return sample.watts; }, kPowerWindow);
    std::string out = kHeader;
    if (!power.empty()) out += kPowerNamespace;
    out += ">\n";
    out.reserve(points.size() * 200 + 1024);
    appendTrack(out, ride);
    out += "    <trkseg>\n";
    PointTimeFormatter times;
    for (const auto& point : points) {
        PointReadings readings{heartRate.match(point.timestamp), power.match(point.timestamp)};
        appendPoint(out, point, readings, times);
    }
    out += "    </trkseg>\n  </trk>\n</gpx>\n";
    return out;
}

}  // namespace vantrel
