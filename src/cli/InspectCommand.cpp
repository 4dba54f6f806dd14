// vantrel-cli inspect FILE [--json]: reads an activity file exactly as the import does and prints
// what the reader found, storing nothing.
#include <filesystem>
#include <ostream>

#include "cli/Commands.h"
#include "import/ActivityImporter.h"
#include "model/JsonWriter.h"

namespace vantrel::cli {

namespace {

// Flushes JSON text in pieces so that a long track never sits in memory as one string.
constexpr std::size_t kFlushThreshold = 1 << 16;

void appendOptionalNumber(std::string& out, const std::optional<double>& number) {
    if (!number || !JsonWriter::appendNumber(out, *number)) out += "null";
}

void appendNumber(std::string& out, double number) {
    if (!JsonWriter::appendNumber(out, number)) out += "null";
}

void appendTrackpoint(std::string& out, const ImportedTrackpoint& point) {
    out += "{\"latitude\":";
    appendNumber(out, point.latitude);
    out += ",\"longitude\":";
    appendNumber(out, point.longitude);
    out += ",\"altitude\":";
    appendOptionalNumber(out, point.altitude);
    out += ",\"timestamp\":";
    JsonWriter::appendString(out, formatISO8601Milliseconds(point.timestamp));
    out += ",\"heartRate\":";
    appendOptionalNumber(out, point.heartRate);
    out += '}';
}

void appendLap(std::string& out, const ImportedLapSummary& lap) {
    out += "{\"totalTimeSeconds\":";
    appendNumber(out, lap.totalTimeSeconds);
    out += ",\"distanceMeters\":";
    appendNumber(out, lap.distanceMeters);
    out += ",\"calories\":";
    appendNumber(out, lap.calories);
    out += ",\"averageHeartRate\":";
    appendOptionalNumber(out, lap.averageHeartRate);
    out += ",\"maxHeartRate\":";
    appendOptionalNumber(out, lap.maxHeartRate);
    out += '}';
}

template <typename Item, typename Append>
void writeArray(std::ostream& out, std::string& text, const std::vector<Item>& items,
                Append append) {
    text += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += ',';
        append(text, items[i]);
        if (text.size() >= kFlushThreshold) {
            out << text;
            text.clear();
        }
    }
    text += ']';
}

void writeJson(std::ostream& out, const ImportedActivity& activity) {
    std::string text = "{\"name\":";
    if (activity.name) {
        JsonWriter::appendString(text, *activity.name);
    } else {
        text += "null";
    }
    text += ",\"activityType\":";
    if (activity.activityType) {
        JsonWriter::appendString(text, rawValue(*activity.activityType));
    } else {
        text += "null";
    }
    text += ",\"trackpoints\":";
    writeArray(out, text, activity.trackpoints, appendTrackpoint);
    text += ",\"laps\":";
    writeArray(out, text, activity.lapSummaries, appendLap);
    text += "}\n";
    out << text;
}

std::string timeText(const std::vector<ImportedTrackpoint>& points, bool first) {
    if (points.empty()) return "none";
    return formatISO8601Milliseconds(first ? points.front().timestamp : points.back().timestamp);
}

// "swimming, transition, cycling": how a multisport file will be split.
std::string sessionsText(const std::vector<ImportedSession>& sessions) {
    std::string text;
    for (const auto& session : sessions) {
        if (!text.empty()) text += ", ";
        if (session.transition) {
            text += "transition";
        } else {
            text += session.activityType ? rawValue(*session.activityType) : "none";
        }
    }
    return text;
}

void writeSummary(std::ostream& out, const ImportedActivity& activity) {
    out << "trackpoints: " << activity.trackpoints.size() << "\n"
        << "laps: " << activity.lapSummaries.size() << "\n"
        << "first: " << timeText(activity.trackpoints, true) << "\n"
        << "last: " << timeText(activity.trackpoints, false) << "\n"
        << "kind: "
        << (activity.activityType ? std::string(rawValue(*activity.activityType)) : "none") << "\n";
    if (!activity.unplacedPoints.empty())
        out << "points without position: " << activity.unplacedPoints.size() << "\n";
    if (!activity.sessions.empty()) out << "sessions: " << sessionsText(activity.sessions) << "\n";
}

}  // namespace

int runInspect(CliContext& ctx) {
    bool json = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    if (ctx.args.size() != 1) throw UsageError("inspect needs exactly one FILE");
    std::filesystem::path file = ctx.args.front();
    ImportedActivity activity;
    try {
        activity = readActivityFile(file);
    } catch (const std::exception& error) {
        ctx.err << error.what() << "\n";
        return 1;
    }
    if (json) {
        writeJson(ctx.out, activity);
    } else {
        writeSummary(ctx.out, activity);
    }
    return 0;
}

}  // namespace vantrel::cli
