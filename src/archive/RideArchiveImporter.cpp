#include "archive/RideArchiveImporter.h"

#include <simdjson.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "archive/ArchiveError.h"
#include "archive/ArchiveField.h"
#include "export/FileAccessError.h"
#include "import/FileBytes.h"
#include "model/Base64.h"
#include "model/JsonWriter.h"

namespace vantrel::RideArchiveImporter {

namespace {

namespace od = simdjson::ondemand;

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

/// One member's value as the field table reads it.
class JsonValueReader final : public ArchiveValueReader {
  public:
    JsonValueReader(od::value& value, const std::string& path) : m_value(value), m_path(path) {}

    double number() override { return readNumber(m_value, m_path); }
    Date date() override { return readDate(m_value, m_path); }
    Uuid uuid() override { return readUuid(m_value, m_path); }
    std::string text() override { return std::string(readText(m_value, m_path)); }
    std::optional<Bytes> bytes() override { return base64Decode(readText(m_value, m_path)); }

  private:
    od::value& m_value;
    const std::string& m_path;
};

/// Reads the members of one archived activity, keeping count of the required ones.
class RideReader {
  public:
    explicit RideReader(std::string path) : m_path(std::move(path)) {}

    ArchivedRide read(od::value& value) {
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
        requireAll();
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
            m_seen |= 1u << (field - archiveFields().data());
        } else if (isNull(value, path) || !field) {
            return;
        }
        JsonValueReader reader(value, path);
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
    ArchivedRide m_ride;
    // One bit per field of the table, set when a required one was read.
    std::uint32_t m_seen = 0;
};

std::vector<ArchivedRide> readRides(od::value& value) {
    expectType(value, od::json_type::array, "rides");
    od::array array;
    check(value.get_array().get(array), "rides");
    std::vector<ArchivedRide> rides;
    for (auto element : array) {
        std::string path = "rides[" + std::to_string(rides.size()) + "]";
        od::value item;
        check(std::move(element).get(item), path);
        rides.push_back(RideReader(path).read(item));
    }
    return rides;
}

/// The four top-level keys, all required.
enum TopKey : unsigned { versionKey = 1, exportDateKey = 2, appNameKey = 4, ridesKey = 8 };

unsigned readTopMember(std::string_view key, od::value& value, Archive& archive) {
    std::string path(key);
    if (key == "version") {
        archive.version = readInteger(value, path);
        return versionKey;
    }
    if (key == "exportDate") {
        archive.exportDate = readDate(value, path);
        return exportDateKey;
    }
    if (key == "appName") {
        archive.appName = readText(value, path);
        return appNameKey;
    }
    if (key == "rides") {
        archive.rides = readRides(value);
        return ridesKey;
    }
    return 0;
}

void requireTopKeys(unsigned seen) {
    static constexpr const char* kKeys[] = {"version", "exportDate", "appName", "rides"};
    for (unsigned i = 0; i < 4; ++i) {
        if (!(seen & (1u << i))) throw ArchiveError::keyNotFound(kKeys[i]);
    }
}

Archive readDocument(od::document& document) {
    od::json_type type{};
    check(document.type().get(type), "");
    if (type != od::json_type::object) {
        throw ArchiveError::typeMismatch("", "an object", typeName(type));
    }
    od::object root;
    check(document.get_object().get(root), "");
    Archive archive;
    unsigned seen = 0;
    for (auto member : root) {
        od::field field;
        check(std::move(member).get(field), "");
        std::string_view key;
        check(field.unescaped_key().get(key), "");
        seen |= readTopMember(key, field.value(), archive);
    }
    requireTopKeys(seen);
    const char* rest = nullptr;
    if (document.current_location().get(rest) == simdjson::SUCCESS) {
        throw ArchiveError::dataCorrupted("unexpected text after the top-level object", "");
    }
    return archive;
}

FileAccessError tooLarge(const std::filesystem::path& file) {
    return FileAccessError::cannotRead(file, "the file is too large for an archive");
}

Bytes readAll(FileReader& reader, const std::filesystem::path& file) {
    constexpr std::uint64_t kLargest = simdjson::SIMDJSON_MAXSIZE_BYTES;
    std::uint64_t size = reader.sizeWhenOpened();
    if (size > kLargest) throw tooLarge(file);
    Bytes bytes;
    bytes.reserve(size + simdjson::SIMDJSON_PADDING);
    char buffer[1 << 16];
    while (std::size_t count = reader.read(buffer, sizeof buffer)) {
        if (bytes.size() + count > kLargest) throw tooLarge(file);
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
    if (bytes.capacity() - bytes.size() < simdjson::SIMDJSON_PADDING) {
        bytes.reserve(bytes.size() + simdjson::SIMDJSON_PADDING);
    }
    return bytes;
}

}  // namespace

Archive decodeArchive(const Bytes& bytes) {
    // The reader needs zero padding after the text; a caller that reserved it saves a copy.
    simdjson::padded_string copy;
    simdjson::padded_string_view view;
    if (bytes.capacity() - bytes.size() >= simdjson::SIMDJSON_PADDING) {
        view = simdjson::padded_string_view(bytes.data(), bytes.size(), bytes.capacity());
    } else {
        copy = simdjson::padded_string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        view = copy;
    }
    od::parser parser;
    od::document document;
    check(parser.iterate(view).get(document), "");
    return readDocument(document);
}

Bytes readArchiveFile(const std::filesystem::path& file) {
    try {
        FileReader reader(file);
        return readAll(reader, file);
    } catch (const FileReadError& error) {
        throw FileAccessError::cannotRead(file, std::strerror(error.systemError()));
    }
}

PersistedRide makeRecord(ArchivedRide ride) {
    PersistedRide record;
    for (const ArchiveField& field : archiveFields()) field.restore(ride, record);
    return record;
}

namespace {

// Saves what can be written; a record the store refuses is dropped and no longer counts as
// imported, so one bad activity cannot hold back the rest of the archive.
void saveImported(RideStore& store, ImportCounts& counts) {
    for (auto& [ride, reason] : store.saveDroppingUnwritable()) {
        --counts.imported;
        counts.unsaved.push_back({ride->rideID, std::move(reason)});
    }
}

}  // namespace

ImportCounts importArchive(Archive archive, RideStore& store,
                           const std::function<void(int position, int count)>& progress) {
    constexpr int kSaveInterval = 50;
    std::set<Uuid> known;
    for (const auto& ride : store.allRecords(false)) known.insert(ride->rideID);
    ImportCounts counts;
    int inserted = 0;
    const int count = static_cast<int>(archive.rides.size());
    for (int i = 0; i < count; ++i) {
        if (progress) progress(i + 1, count);
        ArchivedRide& ride = archive.rides[static_cast<std::size_t>(i)];
        // An ID seen earlier in this archive is a repeat too: two records with one rideID
        // would leave every lookup by ID picking one of them at random.
        if (!known.insert(ride.rideID).second) {
            ++counts.skipped;
            continue;
        }
        store.insert(std::make_shared<PersistedRide>(makeRecord(std::move(ride))));
        ++counts.imported;
        if (++inserted % kSaveInterval == 0) saveImported(store, counts);
    }
    saveImported(store, counts);
    return counts;
}

}  // namespace vantrel::RideArchiveImporter
