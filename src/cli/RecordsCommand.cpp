// vantrel-cli records [--kind KIND|cycling|running|swimming]... [--json]
#include <ostream>

#include "analysis/RecordsFill.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "model/JsonWriter.h"

namespace vantrel::cli {

namespace {

PersonalRecords::KindFilter takeKindFilter(CliContext& ctx) {
    std::optional<PersonalRecords::KindFilter> filter;
    while (auto text = ctx.takeOption("--kind")) {
        auto kinds = PersonalRecords::KindFilter::fromText(*text);
        if (!kinds)
            throw UsageError(
                "--kind needs cycling, running, swimming or a kind such as "
                "trailRunning, not \"" +
                *text + "\"");
        if (filter)
            filter->add(*kinds);
        else
            filter = kinds;
    }
    return filter.value_or(PersonalRecords::KindFilter::everything());
}

void printLine(std::ostream& out, const PersonalRecord& record, UnitSystem units) {
    out << PersonalRecords::displayName(record.kind) << '\t'
        << PersonalRecords::formattedValue(record, units) << '\t' << formatISO8601(record.date)
        << '\t' << record.rideID.toString() << '\n';
}

const char* unitText(RecordUnit unit) {
    switch (unit) {
        case RecordUnit::seconds:
            return "s";
        case RecordUnit::metres:
            return "m";
        case RecordUnit::watts:
            return "W";
    }
    return "";
}

void writeJSON(std::ostream& out, const std::vector<PersonalRecord>& records) {
    JsonWriter json;
    json.beginArray();
    for (const auto& record : records) {
        json.beginObject();
        json.key("record");
        json.value(PersonalRecords::rawValue(record.kind));
        json.key("name");
        json.value(PersonalRecords::displayName(record.kind));
        json.key("value");
        json.value(record.value);
        json.key("counts");
        json.value(PersonalRecords::countedKinds(record.kind));
        json.key("unit");
        json.value(unitText(PersonalRecords::unit(record.kind)));
        json.key("rideID");
        json.value(record.rideID.toString());
        json.key("date");
        json.value(formatISO8601(record.date));
        json.key("activityType");
        record.activityType ? json.value(rawValue(*record.activityType)) : json.null();
        json.endObject();
    }
    json.endArray();
    out << json.text() << '\n';
}

}  // namespace

int runRecords(CliContext& ctx) {
    auto filter = takeKindFilter(ctx);
    bool asJSON = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    if (!ctx.args.empty()) throw UsageError("unexpected argument " + ctx.args.front());
    RecordsCache cache(RecordsCache::fileFor(ctx.storePath()));
    ProgressLine line(ctx.err, ctx.interactive);
    auto activities = *fillRecords(
        cache, ctx.store(), ctx.logger(), [&line](std::size_t done, std::size_t total) {
            line.update("Measuring routes… " + groupedNumber(static_cast<long long>(done)) +
                            " of " + groupedNumber(static_cast<long long>(total)),
                        done == total);
        });
    line.finish();
    auto records = PersonalRecords::bestRecords(activities, filter);
    if (asJSON) {
        writeJSON(ctx.out, records);
        return 0;
    }
    auto units = currentUnitSystem(ctx.preferences());
    for (const auto& record : records) printLine(ctx.out, record, units);
    return 0;
}

}  // namespace vantrel::cli
