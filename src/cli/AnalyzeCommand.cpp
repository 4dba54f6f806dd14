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

void writeText(std::ostream& out, const RideDetail& detail, UnitSystem units) {
    writeSegments(out, detail);
    writeSplits(out, detail, units);
    if (detail.averagePace) out << "Average Pace: " << formatPace(*detail.averagePace) << '\n';
    out << "Average Speed: " << formatSpeed(detail.averageSpeed, units) << '\n';
    out << "Max Speed: " << formatSpeed(detail.maxSpeed, units) << '\n';
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

void writeJSON(std::ostream& out, const RideDetail& detail) {
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
    json.endObject();
    out << json.text() << '\n';
}

}  // namespace

int runAnalyze(CliContext& ctx) {
    auto split = parseSplit(ctx.takeOption("--split"));
    bool asJSON = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    RideRef ride = fetchRideArgument(ctx, "analyze");
    UnitSystem units = currentUnitSystem();
    RideDetail detail = loadRideDetail(*ride, units, split);
    asJSON ? writeJSON(ctx.out, detail) : writeText(ctx.out, detail, units);
    return 0;
}

}  // namespace vantrel::cli
