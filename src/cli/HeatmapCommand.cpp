// vantrel-cli heatmap [--kind KIND|cycling|running|swimming]... [--year Y]... --geojson FILE
#include <ostream>

#include "analysis/HeatmapCache.h"
#include "cli/Commands.h"
#include "cli/ExportSelection.h"
#include "export/AtomicFileWriter.h"
#include "export/FileAccessError.h"
#include "model/JsonWriter.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

namespace {

HeatmapFilter takeFilter(CliContext& ctx) {
    HeatmapFilter filter;
    while (auto name = ctx.takeOption("--kind")) {
        auto kinds = activityKindsNamed(*name);
        if (!kinds) throw UsageError("unknown kind " + *name);
        filter.kinds.insert(filter.kinds.end(), kinds->begin(), kinds->end());
    }
    while (auto year = takeYearOption(ctx)) filter.years.push_back(*year);
    return filter;
}

/// Appends one LineString feature, coordinates as GeoJSON wants them: longitude first.
void appendFeature(std::string& out, const HeatmapRoute& route) {
    JsonWriter properties;
    properties.beginObject();
    properties.key("rideID");
    properties.value(route.rideID.toString());
    properties.key("kind");
    if (route.kind)
        properties.value(rawValue(*route.kind));
    else
        properties.null();
    properties.key("date");
    if (isFormattableISO8601(route.date))
        properties.value(formatISO8601(route.date));
    else
        properties.null();
    properties.endObject();
    out += "{\"type\":\"Feature\",\"properties\":";
    out += properties.text();
    out += ",\"geometry\":{\"type\":\"LineString\",\"coordinates\":[";
    // The coordinates are most of a history's file: written straight, not value by value.
    auto number = [&out](double value) {
        if (!JsonWriter::appendNumber(out, value)) out += "null";
    };
    for (std::size_t i = 0; i < route.points.size(); ++i) {
        out += i == 0 ? "[" : ",[";
        number(route.points[i].longitude);
        out += ',';
        number(route.points[i].latitude);
        out += ']';
    }
    out += "]}}";
}

/// Written a few features at a time, so that a whole history never sits in memory as text and
/// the file is not written in a call per feature.
void writeGeoJson(const std::filesystem::path& file, const std::vector<HeatmapRoute>& routes) {
    constexpr std::size_t kChunk = 1 << 20;
    AtomicFileWriter writer(file);
    std::string chunk = "{\"type\":\"FeatureCollection\",\"features\":[";
    chunk.reserve(2 * kChunk);
    for (std::size_t i = 0; i < routes.size(); ++i) {
        if (i > 0) chunk += ",\n";
        appendFeature(chunk, routes[i]);
        if (chunk.size() >= kChunk) {
            writer.write(chunk);
            chunk.clear();
        }
    }
    chunk += "]}\n";
    writer.write(chunk);
    writer.commit();
}

}  // namespace

int runHeatmap(CliContext& ctx) {
    auto file = ctx.takeOption("--geojson");
    HeatmapFilter filter = takeFilter(ctx);
    ctx.rejectUnknownOptions();
    if (!file) throw UsageError("heatmap needs --geojson FILE");
    if (!ctx.args.empty()) throw UsageError("unexpected argument " + ctx.args.front());

    HeatmapCache cache(heatmapCachePath(ctx.storePath()));
    ProgressLine line(ctx.err, ctx.interactive);
    auto draw = progressDrawer(line, "Preparing routes");
    auto routes = cache.routes(ctx.store(), filter, [&](std::size_t done, std::size_t total) {
        draw(static_cast<int>(done), static_cast<int>(total));
    });
    line.finish();
    try {
        writeGeoJson(*file, *routes);
    } catch (const FileAccessError& error) {
        ctx.err << "vantrel-cli: " << terminalText(error.what()) << "\n";
        return 1;
    }
    ctx.out << "Wrote the lines of " << countedActivities(static_cast<int>(routes->size()))
            << " to " << terminalText(*file) << ".\n";
    return 0;
}

}  // namespace vantrel::cli
