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

/// One LineString feature, coordinates as GeoJSON wants them: longitude first.
std::string featureJson(const HeatmapRoute& route) {
    JsonWriter json;
    json.beginObject();
    json.key("type");
    json.value("Feature");
    json.key("properties");
    json.beginObject();
    json.key("rideID");
    json.value(route.rideID.toString());
    json.key("kind");
    if (route.kind)
        json.value(rawValue(*route.kind));
    else
        json.null();
    json.key("date");
    if (isFormattableISO8601(route.date))
        json.value(formatISO8601(route.date));
    else
        json.null();
    json.endObject();
    json.key("geometry");
    json.beginObject();
    json.key("type");
    json.value("LineString");
    json.key("coordinates");
    json.beginArray();
    for (const auto& point : route.points) {
        json.beginArray();
        json.value(point.longitude);
        json.value(point.latitude);
        json.endArray();
    }
    json.endArray();
    json.endObject();
    json.endObject();
    return json.take();
}

/// Written feature by feature, so that a whole history never sits in memory as text.
void writeGeoJson(const std::filesystem::path& file, const std::vector<HeatmapRoute>& routes) {
    AtomicFileWriter writer(file);
    writer.write("{\"type\":\"FeatureCollection\",\"features\":[");
    for (std::size_t i = 0; i < routes.size(); ++i) {
        if (i > 0) writer.write(",\n");
        writer.write(featureJson(routes[i]));
    }
    writer.write("]}\n");
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
