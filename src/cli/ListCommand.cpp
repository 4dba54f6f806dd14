#include <charconv>
#include <optional>
#include <ostream>

#include "cli/Commands.h"
#include "model/JsonWriter.h"
#include "model/TerminalText.h"
#include "model/UnitSystem.h"

namespace vantrel::cli {

namespace {

int parseYear(const std::string& text) {
    int year = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), year);
    if (error != std::errc() || end != text.data() + text.size() || year < 1 || year > 9999)
        throw UsageError("--year needs a year such as 2024, not \"" + text + "\"");
    return year;
}

RideQuery liveActivitiesNewestFirst(std::optional<int> year) {
    RideQuery query;
    query.liveOnly = true;
    query.order = RideQuery::Order::dateDescending;
    query.withDetails = false;
    if (year) {
        query.dateFrom = startOfLocalYear(*year);
        query.dateBefore = startOfLocalYear(*year + 1);
    }
    return query;
}

void printLine(std::ostream& out, const PersistedRide& ride, UnitSystem units) {
    out << ride.rideID.toString() << '\t' << formatISO8601(ride.date) << '\t'
        << terminalText(ride.activityType.value_or("-")) << '\t' << formatDuration(ride.duration)
        << '\t' << formatDistance(ride.distance, units) << '\t'
        << terminalText(ride.city.value_or("")) << '\n';
}

/// The array of a whole history is written an object at a time, as the rows are read.
void writeJSONObject(std::ostream& out, const PersistedRide& ride, bool first) {
    JsonWriter json;
    json.beginObject();
    json.key("rideID");
    json.value(ride.rideID.toString());
    json.key("date");
    json.value(formatISO8601(ride.date));
    json.key("activityType");
    ride.activityType ? json.value(*ride.activityType) : json.null();
    json.key("duration");
    json.value(ride.duration);
    json.key("distance");
    json.value(ride.distance);
    json.key("city");
    ride.city ? json.value(*ride.city) : json.null();
    json.endObject();
    if (!first) out << ',';
    out << json.text();
}

}  // namespace

int runList(CliContext& ctx) {
    auto year = ctx.takeOption("--year");
    bool asJSON = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    if (!ctx.args.empty()) throw UsageError("unexpected argument " + ctx.args.front());
    RideQuery query =
        liveActivitiesNewestFirst(year ? std::optional(parseYear(*year)) : std::nullopt);
    if (asJSON) {
        ctx.out << '[';
        bool first = true;
        ctx.store().visit(query, [&](const PersistedRide& ride) {
            writeJSONObject(ctx.out, ride, first);
            first = false;
        });
        ctx.out << "]\n";
        return 0;
    }
    auto units = currentUnitSystem(ctx.preferences());
    ctx.store().visit(query, [&](const PersistedRide& ride) { printLine(ctx.out, ride, units); });
    return 0;
}

}  // namespace vantrel::cli
