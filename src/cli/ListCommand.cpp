#include <charconv>
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

std::vector<RideRef> liveActivitiesNewestFirst(RideStore& store) {
    RideQuery query;
    query.liveOnly = true;
    query.order = RideQuery::Order::dateDescending;
    query.withDetails = false;
    return store.fetch(query);
}

void printLine(std::ostream& out, const PersistedRide& ride, UnitSystem units) {
    out << ride.rideID.toString() << '\t' << formatISO8601(ride.date) << '\t'
        << terminalText(ride.activityType.value_or("-")) << '\t' << formatDuration(ride.duration)
        << '\t' << formatDistance(ride.distance, units) << '\t'
        << terminalText(ride.city.value_or("")) << '\n';
}

void writeJSON(std::ostream& out, const std::vector<RideRef>& rides) {
    JsonWriter json;
    json.beginArray();
    for (const auto& ride : rides) {
        json.beginObject();
        json.key("rideID");
        json.value(ride->rideID.toString());
        json.key("date");
        json.value(formatISO8601(ride->date));
        json.key("activityType");
        ride->activityType ? json.value(*ride->activityType) : json.null();
        json.key("duration");
        json.value(ride->duration);
        json.key("distance");
        json.value(ride->distance);
        json.key("city");
        ride->city ? json.value(*ride->city) : json.null();
        json.endObject();
    }
    json.endArray();
    out << json.text() << '\n';
}

}  // namespace

int runList(CliContext& ctx) {
    auto year = ctx.takeOption("--year");
    bool asJSON = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    if (!ctx.args.empty()) throw UsageError("unexpected argument " + ctx.args.front());
    auto rides = year ? ctx.store().activitiesOfYear(parseYear(*year), false)
                      : liveActivitiesNewestFirst(ctx.store());
    if (asJSON) {
        writeJSON(ctx.out, rides);
        return 0;
    }
    auto units = currentUnitSystem(ctx.preferences());
    for (const auto& ride : rides) printLine(ctx.out, *ride, units);
    return 0;
}

}  // namespace vantrel::cli
