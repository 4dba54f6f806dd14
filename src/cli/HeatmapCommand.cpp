// vantrel-cli heatmap [--kind KIND|cycling|running|swimming]... [--year Y]... --geojson FILE
#include <array>
#include <charconv>
#include <cmath>
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

/// Six decimals of a degree are about 0.1 m, finer than any recorded position; the seventeen
/// digits of a double made a long history's file twice as large. Written as whole millionths:
/// a general decimal conversion was half of the run.
void appendCoordinate(std::string& out, double degrees) {
    if (!(std::abs(degrees) < 1e9)) {
        // Not a position on the globe; written as it is, as any other number would be.
        if (!JsonWriter::appendNumber(out, degrees)) out += "null";
        return;
    }
    long long millionths = std::llround(degrees * 1e6);
    if (millionths < 0) out += '-';
    unsigned long long magnitude = millionths < 0 ? -static_cast<unsigned long long>(millionths)
                                                  : static_cast<unsigned long long>(millionths);
    std::array<char, 24> whole{};
    auto end = std::to_chars(whole.data(), whole.data() + whole.size(), magnitude / 1'000'000).ptr;
    out.append(whole.data(), end);
    auto fraction = magnitude % 1'000'000;
    if (fraction == 0) return;
    std::array<char, 6> digits{};
    for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit, fraction /= 10)
        *digit = static_cast<char>('0' + fraction % 10);
    std::size_t length = digits.size();
    while (digits[length - 1] == '0') --length;
    out += '.';
    out.append(digits.data(), length);
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
    for (std::size_t i = 0; i < route.points.size(); ++i) {
        out += i == 0 ? "[" : ",[";
        appendCoordinate(out, route.points[i].longitude);
        out += ',';
        appendCoordinate(out, route.points[i].latitude);
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
