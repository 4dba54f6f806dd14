#include <algorithm>
#include <charconv>
#include <ostream>

#include "cli/Commands.h"
#include "model/ActivityKindGroup.h"
#include "model/JsonWriter.h"
#include "model/UnitSystem.h"

namespace vantrel::cli {

namespace {

StatisticsPeriod takePeriod(CliContext& ctx) {
    auto by = ctx.takeOption("--by");
    if (!by) return StatisticsPeriod::month;
    auto period = statisticsPeriodFromRawValue(*by);
    if (!period || *period == StatisticsPeriod::day)
        throw UsageError("--by needs week, month or year, not \"" + *by + "\"");
    return *period;
}

std::vector<ActivityType> takeKinds(CliContext& ctx) {
    std::vector<ActivityType> kinds;
    while (auto name = ctx.takeOption("--kind")) {
        auto named = kindsNamed(*name);
        if (!named)
            throw UsageError(
                "--kind needs an activity kind such as trailRunning, or cycling, "
                "running or swimming, not \"" +
                *name + "\"");
        for (auto kind : *named) {
            if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
        }
    }
    return kinds;
}

bool readNumber(std::string_view text, int& number) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

// A calendar day "yyyy-mm-dd" in local time; `dayAfter` gives the midnight that ends it.
std::optional<Date> takeDay(CliContext& ctx, const std::string& option, bool dayAfter) {
    auto text = ctx.takeOption(option);
    if (!text) return std::nullopt;
    int year = 0, month = 0, day = 0;
    std::string_view view(*text);
    bool shaped = view.size() == 10 && view[4] == '-' && view[7] == '-' &&
                  readNumber(view.substr(0, 4), year) && readNumber(view.substr(5, 2), month) &&
                  readNumber(view.substr(8, 2), day) && year >= 1;
    auto start = shaped ? startOfLocalDay(year, month, day + (dayAfter ? 1 : 0)) : std::nullopt;
    // The day after the last of a month is the first of the next one.
    if (shaped && dayAfter && !start) {
        if (startOfLocalDay(year, month, day)) {
            start =
                month == 12 ? startOfLocalDay(year + 1, 1, 1) : startOfLocalDay(year, month + 1, 1);
        }
    }
    if (!start)
        throw UsageError(option + " needs a date such as 2024-03-31, not \"" + *text + "\"");
    return start;
}

void writeJSON(std::ostream& out, StatisticsPeriod period, const std::vector<PeriodTotals>& all) {
    JsonWriter json;
    json.beginObject();
    json.key("by");
    json.value(rawValue(period));
    json.key("periods");
    json.beginArray();
    for (const auto& totals : all) {
        json.beginObject();
        json.key("period");
        json.value(totals.period.label);
        json.key("start");
        json.value(formatISO8601(totals.period.start));
        json.key("end");
        json.value(formatISO8601(totals.period.end));
        json.key("count");
        json.value(totals.count);
        json.key("distance");
        json.value(totals.distance);
        json.key("movingTime");
        json.value(totals.movingTime);
        json.key("elevationGain");
        json.value(totals.elevationGain);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    out << json.text() << '\n';
}

void printLine(std::ostream& out, const std::string& label, const PeriodTotals& totals,
               UnitSystem units) {
    out << label << '\t' << totals.count << '\t' << formatDistance(totals.distance, units) << '\t'
        << formatDuration(totals.movingTime) << '\t'
        << formatElevationGain(totals.elevationGain, units) << '\n';
}

void printTable(std::ostream& out, const std::vector<PeriodTotals>& all, UnitSystem units) {
    out << "period\tactivities\tdistance\tmoving time\televation gain\n";
    PeriodTotals sum;
    for (const auto& totals : all) {
        printLine(out, totals.period.label, totals, units);
        sum.count += totals.count;
        sum.distance += totals.distance;
        sum.movingTime += totals.movingTime;
        sum.elevationGain += totals.elevationGain;
    }
    printLine(out, "total", sum, units);
}

}  // namespace

int runStats(CliContext& ctx) {
    StatisticsQuery query;
    query.period = takePeriod(ctx);
    query.kinds = takeKinds(ctx);
    query.from = takeDay(ctx, "--from", false);
    query.before = takeDay(ctx, "--to", true);
    bool asJSON = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    if (!ctx.args.empty()) throw UsageError("unexpected argument " + ctx.args.front());
    if (query.from && query.before && !(*query.from < *query.before))
        throw UsageError("--to is before --from");
    auto totals = ctx.store().statistics(query);
    if (asJSON)
        writeJSON(ctx.out, query.period, totals);
    else
        printTable(ctx.out, totals, currentUnitSystem(ctx.preferences()));
    return 0;
}

}  // namespace vantrel::cli
