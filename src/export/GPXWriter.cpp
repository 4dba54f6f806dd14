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
    "  xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">\n";

/// Heart-rate samples by time, for finding the one nearest to a route point.
class HeartRateMatcher {
  public:
    explicit HeartRateMatcher(const std::vector<HeartRateSample>& samples) {
        std::vector<std::size_t> order(samples.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return earlier(samples[a].timestamp, samples[b].timestamp);
        });
        for (std::size_t index : order) {
            m_times.push_back(samples[index].timestamp);
            m_bpm.push_back(samples[index].bpm);
        }
    }

    /// The bpm of the nearer of the two samples around `time` when it lies less than 30 s
    /// away; on a tie the earlier sample.
    std::optional<double> match(Date time) const {
        if (m_times.empty()) return std::nullopt;
        auto lo = static_cast<std::size_t>(
            std::lower_bound(m_times.begin(), m_times.end(), time, earlier) - m_times.begin());
        std::size_t first = std::max<std::size_t>(lo, 1) - 1;
        std::size_t last = std::min(lo, m_times.size() - 1);
        double best = 30;
        std::optional<double> bpm;
        for (std::size_t i = first; i <= last; ++i) {
            double difference = std::fabs(m_times[i] - time);
            if (difference < best) {
                best = difference;
                bpm = m_bpm[i];
            }
        }
        return bpm;
    }

  private:
    // NaN times sort last, so that the order stays strict and the search stays defined.
    static bool earlier(double a, double b) {
        if (std::isnan(a)) return false;
        return std::isnan(b) || a < b;
    }

    std::vector<Date> m_times;
    std::vector<double> m_bpm;
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

void appendPoint(std::string& out, const RoutePoint& point, std::optional<double> bpm,
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
    std::optional<long long> hr = bpm ? wholeBpm(*bpm) : std::nullopt;
    if (hr) {
        out += "        <extensions>\n          <gpxtpx:TrackPointExtension>\n";
        out += "            <gpxtpx:hr>";
        out += std::to_string(*hr);
        out += "</gpxtpx:hr>\n";
        out += "          </gpxtpx:TrackPointExtension>\n        </extensions>\n";
    }
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
    HeartRateMatcher matcher(ride.heartRateSamples());
    std::string out = kHeader;
    out.reserve(points.size() * 200 + 1024);
    appendTrack(out, ride);
    out += "    <trkseg>\n";
    PointTimeFormatter times;
    for (const auto& point : points) appendPoint(out, point, matcher.match(point.timestamp), times);
    out += "    </trkseg>\n  </trk>\n</gpx>\n";
    return out;
}

}  // namespace vantrel
