#include "archive/ArchiveField.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

#include "export/Utf8Text.h"
#include "model/Base64.h"
#include "model/JsonWriter.h"

namespace vantrel {

namespace {

using RideArchiveExporter::ArchivedRide;

// How each kind of value is written and read. Dates and plain numbers are both doubles, so the
// kind is named in the table rather than found from the type.
struct NumberValue {
    static void write(std::string& out, double value) { JsonWriter::appendNumber(out, value); }
    static double read(ArchiveValueReader& value) { return value.number(); }
    static std::optional<double> number(double value) { return value; }
};

struct DateValue {
    static void write(std::string& out, Date value) {
        JsonWriter::appendString(out, formatISO8601(value));
    }
    static Date read(ArchiveValueReader& value) { return value.date(); }
    static std::optional<double> number(Date value) { return value; }
};

struct UuidValue {
    static void write(std::string& out, const Uuid& value) {
        JsonWriter::appendString(out, value.toString());
    }
    static Uuid read(ArchiveValueReader& value) { return value.uuid(); }
    static std::optional<double> number(const Uuid&) { return std::nullopt; }
};

struct TextValue {
    static void write(std::string& out, const std::string& value) { appendText(out, value); }
    static std::string read(ArchiveValueReader& value) { return value.text(); }
    static std::optional<double> number(const std::string&) { return std::nullopt; }
};

struct BytesValue {
    static void write(std::string& out, const Bytes& value) {
        out += '"';
        out += base64Encode(value);
        out += '"';
    }
    static std::optional<Bytes> read(ArchiveValueReader& value) { return value.bytes(); }
    static std::optional<double> number(const Bytes&) { return std::nullopt; }
};

template <typename T>
constexpr bool kIsOptional = false;
template <typename T>
constexpr bool kIsOptional<std::optional<T>> = true;

template <typename T>
constexpr const T* valueOf(const T& value) {
    return &value;
}

template <typename T>
constexpr const T* valueOf(const std::optional<T>& value) {
    return value ? &*value : nullptr;
}

template <typename Kind, auto ArchivedMember, auto RecordMember>
constexpr ArchiveField field(const char* key) {
    using Member = std::remove_cvref_t<decltype(std::declval<ArchivedRide&>().*ArchivedMember)>;
    return {
        key,
        !kIsOptional<Member>,
        [](const PersistedRide& record, ArchivedRide& ride) {
            ride.*ArchivedMember = record.*RecordMember;
        },
        [](ArchivedRide& ride, PersistedRide& record) {
            record.*RecordMember = std::move(ride.*ArchivedMember);
        },
        [](const ArchivedRide& ride) { return valueOf(ride.*ArchivedMember) != nullptr; },
        [](std::string& out, const ArchivedRide& ride) {
            Kind::write(out, *valueOf(ride.*ArchivedMember));
        },
        [](const ArchivedRide& ride) -> std::optional<double> {
            const auto* value = valueOf(ride.*ArchivedMember);
            return value ? Kind::number(*value) : std::nullopt;
        },
        [](ArchiveValueReader& value, ArchivedRide& ride) {
            ride.*ArchivedMember = Kind::read(value);
        },
    };
}

/// A statistic whose 0 means "none": carried only when non-zero, and 0 when missing.
template <auto ArchivedMember, auto RecordMember>
constexpr ArchiveField nonZeroNumberField(const char* key) {
    return {
        key,
        false,
        [](const PersistedRide& record, ArchivedRide& ride) {
            double value = record.*RecordMember;
            ride.*ArchivedMember = value != 0 ? std::optional(value) : std::nullopt;
        },
        [](ArchivedRide& ride, PersistedRide& record) {
            record.*RecordMember = (ride.*ArchivedMember).value_or(0);
        },
        [](const ArchivedRide& ride) { return (ride.*ArchivedMember).has_value(); },
        [](std::string& out, const ArchivedRide& ride) {
            NumberValue::write(out, *(ride.*ArchivedMember));
        },
        [](const ArchivedRide& ride) -> std::optional<double> { return ride.*ArchivedMember; },
        [](ArchiveValueReader& value, ArchivedRide& ride) {
            ride.*ArchivedMember = NumberValue::read(value);
        },
    };
}

using A = ArchivedRide;
using R = PersistedRide;

constexpr std::array<ArchiveField, 25> kFields = {
    field<UuidValue, &A::rideID, &R::rideID>("rideID"),
    field<DateValue, &A::date, &R::date>("date"),
    field<NumberValue, &A::duration, &R::duration>("duration"),
    field<NumberValue, &A::distance, &R::distance>("distance"),
    field<NumberValue, &A::elevationGain, &R::elevationGain>("elevationGain"),
    field<NumberValue, &A::averageHeartRate, &R::averageHeartRate>("averageHeartRate"),
    field<NumberValue, &A::maxHeartRate, &R::maxHeartRate>("maxHeartRate"),
    field<NumberValue, &A::calories, &R::calories>("calories"),
    field<NumberValue, &A::activeTime, &R::activeTime>("activeTime"),
    field<BytesValue, &A::routeData, &R::routeData>("routeData"),
    field<BytesValue, &A::heartRateData, &R::heartRateData>("heartRateData"),
    field<UuidValue, &A::healthKitUUID, &R::healthKitUUID>("healthKitUUID"),
    field<TextValue, &A::activityType, &R::activityType>("activityType"),
    field<TextValue, &A::importSource, &R::importSource>("importSource"),
    field<DateValue, &A::deletedAt, &R::deletedAt>("deletedAt"),
    field<TextValue, &A::stravaActivityId, &R::stravaActivityId>("stravaActivityId"),
    field<BytesValue, &A::startWeatherData, &R::startWeatherData>("startWeatherData"),
    field<BytesValue, &A::endWeatherData, &R::endWeatherData>("endWeatherData"),
    field<TextValue, &A::city, &R::city>("city"),
    field<NumberValue, &A::startElevation, &R::startElevation>("startElevation"),
    field<TextValue, &A::notes, &R::notes>("notes"),
    nonZeroNumberField<&A::averagePower, &R::averagePower>("averagePower"),
    nonZeroNumberField<&A::maxPower, &R::maxPower>("maxPower"),
    nonZeroNumberField<&A::averageCadence, &R::averageCadence>("averageCadence"),
    field<BytesValue, &A::powerData, &R::powerData>("powerData"),
};

// The document reader keeps one bit per field to find missing required keys.
static_assert(kFields.size() <= 32);

std::array<const ArchiveField*, kFields.size()> sortedByKey() {
    std::array<const ArchiveField*, kFields.size()> sorted{};
    std::transform(kFields.begin(), kFields.end(), sorted.begin(),
                   [](const ArchiveField& entry) { return &entry; });
    std::sort(sorted.begin(), sorted.end(), [](const ArchiveField* a, const ArchiveField* b) {
        return std::strcmp(a->key, b->key) < 0;
    });
    return sorted;
}

}  // namespace

std::span<const ArchiveField> archiveFields() {
    return kFields;
}

std::span<const ArchiveField* const> archiveFieldsByKey() {
    static const auto sorted = sortedByKey();
    return sorted;
}

const ArchiveField* archiveFieldNamed(std::string_view key) {
    auto found = std::find_if(kFields.begin(), kFields.end(),
                              [key](const ArchiveField& entry) { return entry.key == key; });
    return found == kFields.end() ? nullptr : &*found;
}

}  // namespace vantrel
