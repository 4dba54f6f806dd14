#include <ostream>
#include <variant>

#include "cli/Commands.h"
#include "model/Base64.h"
#include "model/JsonWriter.h"
#include "model/RideFields.h"
#include "model/SeriesCodec.h"
#include "model/TerminalText.h"

namespace vantrel::cli {

namespace {

struct DateValue {
    Date date;
};
struct Absent {};
using FieldValue = std::variant<Absent, double, std::int64_t, std::string, Bytes, DateValue>;
using Fields = std::vector<std::pair<const char*, FieldValue>>;

FieldValue fieldValue(const Uuid& value, FieldKind) {
    return value.toString();
}
FieldValue fieldValue(double value, FieldKind kind) {
    if (kind == FieldKind::date) return DateValue{value};
    return value;
}
FieldValue fieldValue(std::int64_t value, FieldKind) {
    return value;
}
FieldValue fieldValue(const std::string& value, FieldKind) {
    return value;
}
FieldValue fieldValue(const Bytes& value, FieldKind) {
    return value;
}
template <typename T>
FieldValue fieldValue(const std::optional<T>& value, FieldKind kind) {
    if (!value) return Absent{};
    return fieldValue(*value, kind);
}

template <typename Record, std::size_t Count>
Fields fieldsOf(const Record& record, const std::array<RecordField<Record>, Count>& table) {
    Fields fields;
    fields.reserve(Count);
    for (const auto& field : table) {
        fields.emplace_back(field.name, field.apply(record, [&](const auto& value) {
            return fieldValue(value, field.kind);
        }));
    }
    return fields;
}

struct JsonField {
    JsonWriter& json;
    void operator()(Absent) { json.null(); }
    void operator()(double number) { json.value(number); }
    void operator()(std::int64_t number) { json.value(number); }
    void operator()(const std::string& text) { json.value(std::string_view(text)); }
    void operator()(const Bytes& bytes) { json.value(std::string_view(base64Encode(bytes))); }
    void operator()(DateValue date) {
        json.value(std::string_view(formatISO8601Milliseconds(date.date)));
    }
};

struct TextField {
    std::ostream& out;
    void operator()(Absent) { out << "-"; }
    void operator()(double number) {
        std::string text;
        if (!JsonWriter::appendNumber(text, number)) text = std::to_string(number);
        out << text;
    }
    void operator()(std::int64_t number) { out << number; }
    void operator()(const std::string& text) { out << terminalText(text); }
    void operator()(const Bytes& bytes) { out << bytes.size() << " bytes"; }
    void operator()(DateValue date) { out << formatISO8601Milliseconds(date.date); }
};

void writeFields(JsonWriter& json, const Fields& fields) {
    for (const auto& [name, value] : fields) {
        json.key(name);
        std::visit(JsonField{json}, value);
    }
}

// Each series as its stored JSON form, so that samples read exactly as the devices write them.
void writeSeries(JsonWriter& json, const char* name, const std::optional<Bytes>& encoded) {
    json.key(name);
    json.raw(encoded ? textOf(*encoded) : "[]");
}

void writeJSON(std::ostream& out, const PersistedRide& ride) {
    JsonWriter json;
    json.beginObject();
    writeFields(json, fieldsOf(ride, kRideFields));
    json.key("photos");
    json.beginArray();
    for (const auto& photo : ride.photos) {
        json.beginObject();
        writeFields(json, fieldsOf(photo, kPhotoFields));
        json.endObject();
    }
    json.endArray();
    auto route = ride.routePoints();
    auto heartRate = ride.heartRateSamples();
    auto power = ride.powerSamples();
    writeSeries(json, "routePoints", encodeSeriesJSON(route));
    writeSeries(json, "heartRateSamples", encodeSeriesJSON(heartRate));
    writeSeries(json, "powerSamples", encodeSeriesJSON(power));
    json.endObject();
    out << json.text() << '\n';
}

void writeText(std::ostream& out, const PersistedRide& ride) {
    for (const auto& [name, value] : fieldsOf(ride, kRideFields)) {
        out << name << ": ";
        std::visit(TextField{out}, value);
        out << '\n';
    }
    out << "photos: " << ride.photos.size() << '\n';
    out << "routePoints: " << ride.routePoints().size() << '\n';
    out << "heartRateSamples: " << ride.heartRateSamples().size() << '\n';
    out << "powerSamples: " << ride.powerSamples().size() << '\n';
}

}  // namespace

int runShow(CliContext& ctx) {
    bool asJSON = ctx.takeFlag("--json");
    ctx.rejectUnknownOptions();
    if (ctx.args.size() != 1) throw UsageError("show needs exactly one activity ID");
    auto rideID = Uuid::parse(ctx.args.front());
    if (!rideID) throw UsageError("not an activity ID: " + ctx.args.front());
    auto ride = ctx.store().fetchByRideID(*rideID);
    if (!ride) throw UsageError("no activity with ID " + rideID->toString());
    asJSON ? writeJSON(ctx.out, *ride) : writeText(ctx.out, *ride);
    return 0;
}

}  // namespace vantrel::cli
