#include "archive/ArchivedRideReader.h"

#include <cmath>

#include "archive/ArchiveError.h"
#include "archive/ArchiveField.h"
#include "model/Base64.h"
#include "model/Date.h"
#include "model/JsonWriter.h"

namespace vantrel {

namespace {

namespace od = simdjson::ondemand;
using RideArchiveExporter::Archive;
using RideArchiveExporter::ArchivedRide;

[[noreturn]] void fail(simdjson::error_code code, const std::string& path) {
    throw ArchiveError::dataCorrupted(simdjson::error_message(code), path);
}

void check(simdjson::error_code code, const std::string& path) {
    if (code != simdjson::SUCCESS) fail(code, path);
}

std::string typeName(od::json_type type) {
    switch (type) {
        case od::json_type::array:
            return "an array";
        case od::json_type::object:
            return "an object";
        case od::json_type::number:
            return "a number";
        case od::json_type::string:
            return "a string";
        case od::json_type::boolean:
            return "a boolean";
        case od::json_type::null:
            return "null";
    }
    return "an unknown value";
}

od::json_type typeOf(od::value& value, const std::string& path) {
    od::json_type type{};
    check(value.type().get(type), path);
    return type;
}

void expectType(od::value& value, od::json_type expected, const std::string& path) {
    od::json_type type = typeOf(value, path);
    if (type != expected)
        throw ArchiveError::typeMismatch(path, typeName(expected), typeName(type));
}

double readNumber(od::value& value, const std::string& path) {
    expectType(value, od::json_type::number, path);
    double number = 0;
    check(value.get_double().get(number), path);
    return number;
}

std::int64_t readInteger(od::value& value, const std::string& path) {
    double number = readNumber(value, path);
    // Whole numbers written with a fraction ("1.0") are integers too; everything else is not.
    constexpr double kLimit = 9.2e18;
    if (number != std::floor(number) || std::fabs(number) > kLimit) {
        std::string text;
        JsonWriter::appendNumber(text, number);
        throw ArchiveError::invalidValue(path, text, "an integer");
    }
    return static_cast<std::int64_t>(number);
}

std::string_view readText(od::value& value, const std::string& path) {
    expectType(value, od::json_type::string, path);
    std::string_view text;
    check(value.get_string().get(text), path);
    return text;
}

Date readDate(od::value& value, const std::string& path) {
    std::string_view text = readText(value, path);
    auto date = parseISO8601(text, false);
    if (!date) throw ArchiveError::invalidValue(path, std::string(text), "an ISO 8601 date");
    return *date;
}

Uuid readUuid(od::value& value, const std::string& path) {
    std::string_view text = readText(value, path);
    auto uuid = Uuid::parse(text);
    if (!uuid) throw ArchiveError::invalidValue(path, std::string(text), "a UUID");
    return *uuid;
}

bool isNull(od::value& value, const std::string& path) {
    return typeOf(value, path) == od::json_type::null;
}

/// One member's value as the field table reads it: from the document, or as streamed.
class JsonValueReader final : public ArchiveValueReader {
  public:
    JsonValueReader(od::value& value, const std::string& path, const StreamedValue* streamed)
        : m_value(value), m_path(path), m_streamed(streamed) {}

    double number() override { return readNumber(m_value, m_path); }
    Date date() override { return readDate(m_value, m_path); }
    Uuid uuid() override { return readUuid(m_value, m_path); }
    std::string text() override {
        if (m_streamed) return streamed().text;
        return std::string(readText(m_value, m_path));
    }
    std::optional<Bytes> bytes() override {
        if (m_streamed) return streamed().bytes;
        return base64Decode(readText(m_value, m_path));
    }

  private:
    // The stream found the string's end; whether its escapes hold is told where the reader of
    // the whole document would have told it.
    const StreamedValue& streamed() const {
        if (m_streamed->badString) fail(simdjson::STRING_ERROR, m_path);
        return *m_streamed;
    }

    od::value& m_value;
    const std::string& m_path;
    const StreamedValue* m_streamed;
};

/// Reads the members of one archived activity, keeping count of the required ones.
class RideReader {
  public:
    RideReader(std::string path, const StreamedValues& streamed)
        : m_path(std::move(path)), m_streamed(streamed) {}

    ArchivedRide read(od::value& value, bool complete) {
        expectType(value, od::json_type::object, m_path);
        od::object object;
        check(value.get_object().get(object), m_path);
        for (auto member : object) {
            od::field field;
            check(std::move(member).get(field), m_path);
            std::string_view key;
            check(field.unescaped_key().get(key), m_path);
            readMember(key, field.value());
        }
        if (complete) requireAll();
        return std::move(m_ride);
    }

  private:
    std::string pathOf(std::string_view key) const { return m_path + "." + std::string(key); }

    // A required value is read as it stands, so that null fails as any value of another type
    // would; an optional null means absent. The value of an unknown key is only looked at.
    void readMember(std::string_view key, od::value& value) {
        const ArchiveField* field = archiveFieldNamed(key);
        std::string path = pathOf(key);
        if (field && field->required) {
            m_seen |= 1u << archiveFieldIndex(*field);
        } else if (isNull(value, path) || !field) {
            return;
        }
        const auto& streamed = m_streamed[archiveFieldIndex(*field)];
        JsonValueReader reader(value, path, streamed ? &*streamed : nullptr);
        field->read(reader, m_ride);
    }

    void requireAll() const {
        for (std::size_t i = 0; i < archiveFields().size(); ++i) {
            const ArchiveField& field = archiveFields()[i];
            if (field.required && !(m_seen & (1u << i))) {
                throw ArchiveError::keyNotFound(pathOf(field.key));
            }
        }
    }

    std::string m_path;
    const StreamedValues& m_streamed;
    ArchivedRide m_ride;
    // One bit per field of the table, set when a required one was read.
    std::uint32_t m_seen = 0;
};

/// The single value inside the one-element array `document` holds.
od::value onlyValue(od::parser& parser, simdjson::padded_string_view document, od::document& doc,
                    const std::string& path) {
    check(parser.iterate(document).get(doc), path);
    od::array array;
    check(doc.get_array().get(array), path);
    od::value value;
    check((*array.begin()).get(value), path);
    return value;
}

}  // namespace

ArchivedRide readArchivedRide(od::parser& parser, simdjson::padded_string_view document,
                              const std::string& path, const StreamedValues& streamed,
                              bool complete) {
    od::document doc;
    od::value value = onlyValue(parser, document, doc, path);
    return RideReader(path, streamed).read(value, complete);
}

void readArchiveHeaderValue(od::parser& parser, simdjson::padded_string_view document,
                            std::string_view key, Archive& archive) {
    std::string path(key);
    od::document doc;
    od::value value = onlyValue(parser, document, doc, path);
    if (key == "version") {
        archive.version = readInteger(value, path);
    } else if (key == "exportDate") {
        archive.exportDate = readDate(value, path);
    } else {
        archive.appName = readText(value, path);
    }
}

std::optional<std::string> jsonTypeNameStartingWith(int first) {
    switch (first) {
        case '{':
            return typeName(od::json_type::object);
        case '[':
            return typeName(od::json_type::array);
        case '"':
            return typeName(od::json_type::string);
        case 't':
        case 'f':
            return typeName(od::json_type::boolean);
        case 'n':
            return typeName(od::json_type::null);
        default:
            if (first == '-' || (first >= '0' && first <= '9'))
                return typeName(od::json_type::number);
            return std::nullopt;
    }
}

}  // namespace vantrel
