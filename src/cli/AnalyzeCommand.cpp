#include <cstdio>
#include <ostream>

#include "analysis/RideDetail.h"
#include "cli/Commands.h"
#include "cli/RideArgument.h"
#include "model/AveragePace.h"
#include "model/JsonWriter.h"

namespace vantrel::cli {

namespace {

std::optional<SplitDistance> parseSplit(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    auto distance = splitDistanceFromRawValue(*text);
    if (!distance) {
        throw UsageError("--split needs mile, quarterMile, 400m, 1000m or km, not \"" + *text +
                         "\"");
    }
    return distance;
}

std::string localTime(Date date) {
    return formatLocal(date, "%Y-%m-%d %H:%M:%S");
}

void writeSegments(std::ostream& out, const RideDetail& detail) {
    out << "Active segments: " << detail.segments.size() << '\n';
    for (std::size_t i = 0; i < detail.segments.size(); ++i) {
        const auto& segment = detail.segments[i];
        out << "  " << i + 1 << "  " << localTime(segment.start) << " - " << localTime(segment.end)
            << "  " << formatDuration(segment.length()) << '\n';
    }
}

void writeSplits(std::ostream& out, const RideDetail& detail, UnitSystem units) {
    out << "Splits (" << pickerLabel(detail.splitDistance) << "): " << detail.splits.size() << '\n';
    if (detail.splits.empty()) return;
    out << "  Split\t" << shortLabel(detail.splitDistance) << "\tSeconds\tElevation\n";
    for (const auto& split : detail.splits) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", split.pace);
        out << "  " << split.number << '\t' << formatPace(split.pace) << '\t' << seconds << '\t'
            << formatElevationChange(split.elevationChange, units) << '\n';
    }
}

std::string wattsText(double watts) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f W", watts);
    return text;
}

void writePower(std::ostream& out, const PersistedRide& ride, const RideDetail& detail) {
    if (detail.power.empty()) return;
    out << "Average Power: " << wattsText(ride.averagePower) << '\n';
    out << "Max Power: " << wattsText(ride.maxPower) << '\n';
    if (detail.power.normalizedPower > 0)
        out << "Normalized Power: " << wattsText(detail.power.normalizedPower) << '\n';
    for (std::size_t i = 0; i < kBestPowerDurations.size(); ++i) {
        if (auto watts = detail.power.bestPowers[i])
            out << "Best " << kBestPowerDurations[i].label << ": " << wattsText(*watts) << '\n';
    }
}

void writeText(std::ostream& out, const PersistedRide& ride, const RideDetail& detail,
               UnitSystem units) {
    writeSegments(out, detail);
    writeSplits(out, detail, units);
    if (detail.averagePace) out << "Average Pace: " << formatPace(*detail.averagePace) << '\n';
    out << "Average Speed: " << formatSpeed(detail.averageSpeed, units) << '\n';
    out << "Max Speed: " << formatSpeed(detail.maxSpeed, units) << '\n';
    writePower(out, ride, detail);
    if (ride.averageCadence > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f rpm", ride.averageCadence);
        out << "Average Cadence: " << text << '\n';
    }
}

void writeJSONSegments(JsonWriter& json, const RideDetail& detail) {
    json.key("segments");
    json.beginArray();
    for (const auto& segment : detail.segments) {
        json.beginObject();
        json.key("start");
        json.value(segment.start);
        json.key("end");
        json.value(segment.end);
        json.endObject();
    }
    json.endArray();
}

void writeJSONSplits(JsonWriter& json, const RideDetail& detail) {
    json.key("splitDistance");
    json.value(rawValue(detail.splitDistance));
    json.key("splits");
    json.beginArray();
    for (const auto& split : detail.splits) {
        json.beginObject();
        json.key("number");
        json.value(split.number);
        json.key("pace");
        json.value(split.pace);
        json.key("elevationChange");
        json.value(split.elevationChange);
        json.endObject();
    }
    json.endArray();
}

void writeJSONPowerCurve(JsonWriter& json, const PowerAnalysis& power) {
    json.key("curve");
    json.beginArray();
    for (const auto& point : power.curve) {
        json.beginObject();
        json.key("seconds");
        json.value(point.seconds);
        json.key("watts");
        json.value(point.watts);
        json.endObject();
    }
    json.endArray();
}

/// Null for an activity without power, so that a script can tell "none" from "zero".
void writeJSONPower(JsonWriter& json, const PersistedRide& ride, const RideDetail& detail) {
    json.key("power");
    if (detail.power.empty()) {
        json.null();
        return;
    }
    json.beginObject();
    json.key("averagePower");
    json.value(ride.averagePower);
    json.key("maxPower");
    json.value(ride.maxPower);
    json.key("normalizedPower");
    json.value(detail.power.normalizedPower);
    for (std::size_t i = 0; i < kBestPowerDurations.size(); ++i) {
        json.key(kBestPowerDurations[i].key);
        auto watts = detail.power.bestPowers[i];
        watts ? json.value(*watts) : json.null();
    }
    writeJSONPowerCurve(json, detail.power);
    json.endObject();
}

void writeJSON(std::ostream& out, const PersistedRide& ride, const RideDetail& detail) {
    JsonWriter json;
    json.beginObject();
    writeJSONSegments(json, detail);
    writeJSONSplits(json, detail);
    json.key("averagePace");
    detail.averagePace ? json.value(*detail.averagePace) : json.null();
    json.key("averageSpeed");
    json.value(detail.averageSpeed);
    json.key("averagePacePerKm");
    auto pace = secondsPerKilometre(detail.averageSpeed);
    pace ? json.value(*pace) : json.null();
    json.key("maxSpeed");
    json.value(detail.maxSpeed);
    json.key("averageCadence");
    json.value(ride.averageCadence);
    writeJSONPower(json, ride, detail);
    json.endObject();
    out << json.text() << '\n';
}

}  // namespace

int runAnalyze(CliContext& ctx) {
    auto split = parseSplit(ctx.takeOption("--split"));
    bool asJSON = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    RideRef ride = fetchRideArgument(ctx, "analyze");
    UnitSystem units = currentUnitSystem(ctx.preferences());
    RideDetail detail = loadRideDetail(*ride, units, split, ctx.preferences());
    asJSON ? writeJSON(ctx.out, *ride, detail) : writeText(ctx.out, *ride, detail, units);
    return 0;
}

}  // namespace vantrel::cli
