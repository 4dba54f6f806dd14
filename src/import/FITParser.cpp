#include "import/FITParser.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/FITProfile.h"
#include "import/RideImportError.h"
#include "import/SensorReading.h"

namespace vantrel {

namespace {

constexpr std::size_t kMinimumHeaderSize = 12;
constexpr std::size_t kLocalTypeCount = 16;
/// Far beyond any recording (a day-long event with a lap per kilometre has a few hundred), yet
/// it keeps a file of one-byte lap messages from growing memory to fifty times its size.
constexpr std::size_t kMaximumLapCount = 100'000;
/// Below what real recordings spend on one record message, to size the list of points once.
constexpr std::size_t kFewestBytesPerRecord = 20;

/// One field the decoder takes, located by its byte offset inside the data message.
struct FieldPlan {
    std::uint16_t offset;
    std::uint8_t size;
    std::uint8_t slot;
    std::uint32_t invalidValue;
};

/// A text field of a field description: where its bytes lie inside the data message.
struct TextPlan {
    std::size_t offset = 0;
    std::size_t size = 0;
};

/// A developer field that carries power: how to read it and how the file scales it.
struct DevPowerField {
    FITProfile::NumericType type;
    double scale = 1;
    double offset = 0;
};

/// A developer field of a record definition that carries power, located in the message.
struct DevPowerPlan {
    std::size_t offset;
    DevPowerField field;
};

/// A definition message reduced to what its data messages need: the byte sizes to step over
/// and the few fields worth reading, so a data message costs no search through its fields.
struct MessageDefinition {
    bool defined = false;
    bool bigEndian = false;
    std::uint16_t globalMessageNumber = 0;
    std::size_t fieldsSize = 0;
    std::size_t devFieldsSize = 0;
    std::vector<FieldPlan> usedFields;
    TextPlan fieldName;
    TextPlan units;
    std::optional<DevPowerPlan> devPower;
};

/// The valid values of one data message by slot; an invalid or missing field stays unset.
struct SlotValues {
    std::array<std::uint32_t, FITProfile::kMaxSlots> values{};
    std::uint32_t present = 0;

    bool has(std::uint8_t slot) const { return (present >> slot) & 1U; }
    std::uint32_t operator[](std::uint8_t slot) const { return values[slot]; }
};

/// A whole two- or four-byte field in the file's byte order.
template <typename Word>
std::uint32_t loadWord(const std::uint8_t* bytes, bool bigEndian) {
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    if (bigEndian == (std::endian::native == std::endian::little)) {
        if constexpr (sizeof(Word) == 2) {
            word = __builtin_bswap16(word);
        } else {
            word = __builtin_bswap32(word);
        }
    }
    return word;
}

/// Up to four bytes: the widest field the decoder takes. The common widths are loaded whole,
/// since this runs for every field of every record of a file.
std::uint32_t readUnsigned(const std::uint8_t* bytes, std::uint8_t size, bool bigEndian) {
    if (size == 1) return bytes[0];
    if (size == 2) return loadWord<std::uint16_t>(bytes, bigEndian);
    if (size == 4) return loadWord<std::uint32_t>(bytes, bigEndian);
    std::uint32_t value = 0;
    if (bigEndian) {
        for (std::uint8_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
    } else {
        for (std::uint8_t i = size; i > 0; --i) value = (value << 8) | bytes[i - 1];
    }
    return value;
}

SlotValues readSlots(const MessageDefinition& definition, const std::uint8_t* message) {
    SlotValues slots;
    for (const FieldPlan& field : definition.usedFields) {
        std::uint32_t value =
            readUnsigned(message + field.offset, field.size, definition.bigEndian);
        if (value == field.invalidValue) continue;
        slots.values[field.slot] = value;
        slots.present |= 1U << field.slot;
    }
    return slots;
}

double semicirclesToDegrees(std::uint32_t raw) {
    return static_cast<std::int32_t>(raw) * FITProfile::kDegreesPerSemicircle;
}

double scaledAltitude(std::uint32_t raw) {
    return raw / 5.0 - 500.0;
}

Date dateFromFITTimestamp(std::uint32_t fitSeconds) {
    return dateFromUnix(fitSeconds + FITProfile::kFITEpochUnixSeconds);
}

std::optional<double> optionalSlot(const SlotValues& slots, std::uint8_t slot) {
    if (!slots.has(slot)) return std::nullopt;
    return static_cast<double>(slots[slot]);
}

/// Whole revolutions plus the 1/128 steps a device may add in a field of their own.
std::optional<double> recordCadence(const SlotValues& slots) {
    using namespace FITProfile::RecordSlot;
    if (!slots.has(cadence)) return std::nullopt;
    double rpm = slots[cadence];
    if (slots.has(fractionalCadence)) rpm += slots[fractionalCadence] / 128.0;
    return plausibleCadence(rpm);
}

/// Text up to its first NUL, as FIT pads strings.
std::string_view textField(const std::uint8_t* message, const TextPlan& plan) {
    std::string_view text(reinterpret_cast<const char*>(message + plan.offset), plan.size);
    return text.substr(0, text.find('\0'));
}

std::optional<double> readDevPower(const DevPowerPlan& plan, const std::uint8_t* message,
                                   bool bigEndian) {
    const auto& type = plan.field.type;
    std::uint32_t raw = readUnsigned(message + plan.offset, type.size, bigEndian);
    if (raw == type.invalidValue) return std::nullopt;
    double value;
    if (type.isFloat) {
        value = std::bit_cast<float>(raw);
    } else if (type.isSigned) {
        int shift = 32 - 8 * type.size;
        value = static_cast<std::int32_t>(raw << shift) >> shift;
    } else {
        value = raw;
    }
    return plausiblePower(value / plan.field.scale - plan.field.offset);
}

/// The state of decoding one file: the definitions in force, the read position and the output.
class FITDecoder {
  public:
    FITDecoder(const std::uint8_t* data, std::size_t size, std::size_t maximumTrackpoints)
        : m_data(data), m_size(size), m_maximumTrackpoints(maximumTrackpoints) {}

    ImportedActivity decode() {
        std::size_t end = readFileHeader();
        // Recordings spend 20 to 90 bytes per record, so the list is rarely copied as it grows;
        // the part never filled is address space only, not memory in use.
        m_trackpoints.reserve(std::min(m_size / kFewestBytesPerRecord, m_maximumTrackpoints));
        while (m_offset < end) readMessage();
        return result();
    }

  private:
    std::size_t remaining() const { return m_size - m_offset; }

    /// Checks the header in the order that decides which error a damaged file gets; returns
    /// the end of the records. The header CRC and the file CRC are deliberately never checked.
    std::size_t readFileHeader() {
        if (m_size < kMinimumHeaderSize) throw FITParseError::truncatedData();
        std::size_t headerSize = m_data[0];
        if (headerSize < kMinimumHeaderSize || m_size < headerSize) {
            throw FITParseError::truncatedData();
        }
        if (std::memcmp(m_data + 8, ".FIT", 4) != 0) throw FITParseError::invalidSignature();
        std::uint64_t dataSize = readUnsigned(m_data + 4, 4, false);
        if (m_size < headerSize + dataSize) throw FITParseError::truncatedData();
        m_offset = headerSize;
        return headerSize + static_cast<std::size_t>(dataSize);
    }

    void readMessage() {
        std::uint8_t header = m_data[m_offset++];
        if (header & 0x80) {
            advanceCompressedTimestamp(header & 0x1F);
            readDataMessage((header >> 5) & 0x03, m_lastTimestamp);
        } else if (header & 0x40) {
            readDefinitionMessage(header & 0x0F, (header & 0x20) != 0);
        } else {
            readDataMessage(header & 0x0F, std::nullopt);
        }
    }

    void advanceCompressedTimestamp(std::uint32_t timeOffset) {
        std::uint32_t previousLowBits = m_lastTimestamp & 0x1F;
        m_lastTimestamp = (m_lastTimestamp & ~std::uint32_t{0x1F}) + timeOffset;
        // Only five bits travel in the header: a smaller value means the counter wrapped.
        if (timeOffset < previousLowBits) m_lastTimestamp += 32;
    }

    void readDefinitionMessage(std::uint8_t localType, bool hasDevFields) {
        if (remaining() < 5) throw FITParseError::truncatedData();
        const std::uint8_t* fixed = m_data + m_offset;
        MessageDefinition& definition = m_definitions[localType];
        definition.defined = true;
        definition.bigEndian = fixed[1] == 1;
        definition.globalMessageNumber = static_cast<std::uint16_t>(
            definition.bigEndian ? (fixed[2] << 8) | fixed[3] : (fixed[3] << 8) | fixed[2]);
        std::size_t fieldCount = fixed[4];
        m_offset += 5;
        readFieldDefinitions(definition, fieldCount);
        definition.devPower.reset();
        definition.devFieldsSize = hasDevFields ? readDevFields(definition) : 0;
    }

    void readFieldDefinitions(MessageDefinition& definition, std::size_t fieldCount) {
        if (remaining() < 3 * fieldCount) throw FITParseError::truncatedData();
        definition.usedFields.clear();
        definition.fieldName = {};
        definition.units = {};
        std::size_t messageOffset = 0;
        for (std::size_t i = 0; i < fieldCount; ++i) {
            const std::uint8_t* triple = m_data + m_offset + 3 * i;
            std::uint8_t size = triple[1];
            if (definition.globalMessageNumber == FITProfile::kFieldDescriptionMessage) {
                if (triple[0] == FITProfile::kFieldNameField)
                    definition.fieldName = {messageOffset, size};
                if (triple[0] == FITProfile::kUnitsField) definition.units = {messageOffset, size};
            }
            const FITProfile::FieldRule* rule =
                FITProfile::findFieldRule(definition.globalMessageNumber, triple[0], size);
            if (rule) {
                definition.usedFields.push_back({static_cast<std::uint16_t>(messageOffset), size,
                                                 rule->slot, rule->invalidValue});
            }
            messageOffset += size;
        }
        definition.fieldsSize = messageOffset;
        m_offset += 3 * fieldCount;
    }

    /// Returns the developer fields' total size, and notes where a record carries power.
    std::size_t readDevFields(MessageDefinition& definition) {
        if (remaining() < 1) throw FITParseError::truncatedData();
        std::size_t devFieldCount = m_data[m_offset++];
        if (remaining() < 3 * devFieldCount) throw FITParseError::truncatedData();
        std::size_t total = 0;
        for (std::size_t i = 0; i < devFieldCount; ++i) {
            const std::uint8_t* triple = m_data + m_offset + 3 * i;
            if (definition.globalMessageNumber == FITProfile::kRecordMessage) {
                planDevPower(definition, triple, definition.fieldsSize + total);
            }
            total += triple[1];
        }
        m_offset += 3 * devFieldCount;
        return total;
    }

    void planDevPower(MessageDefinition& definition, const std::uint8_t* triple,
                      std::size_t offset) {
        auto found = m_devPowerFields.find(devFieldKey(triple[2], triple[0]));
        if (found == m_devPowerFields.end() || found->second.type.size != triple[1]) return;
        definition.devPower = DevPowerPlan{offset, found->second};
    }

    static std::uint16_t devFieldKey(std::uint32_t developerIndex, std::uint32_t fieldNumber) {
        return static_cast<std::uint16_t>(((developerIndex & 0xFF) << 8) | (fieldNumber & 0xFF));
    }

    void readDataMessage(std::uint8_t localType, std::optional<std::uint32_t> headerTimestamp) {
        const MessageDefinition& definition = m_definitions[localType];
        if (!definition.defined) {
            throw RideImportError::parsingFailed("FIT: undefined local message type " +
                                                 std::to_string(localType));
        }
        if (remaining() < definition.fieldsSize + definition.devFieldsSize) {
            throw FITParseError::truncatedData();
        }
        const std::uint8_t* message = m_data + m_offset;
        switch (definition.globalMessageNumber) {
            case FITProfile::kRecordMessage:
                takeRecord(readSlots(definition, message), headerTimestamp,
                           definition.devPower
                               ? readDevPower(*definition.devPower, message, definition.bigEndian)
                               : std::nullopt);
                break;
            case FITProfile::kFieldDescriptionMessage:
                takeFieldDescription(definition, message);
                break;
            case FITProfile::kLapMessage:
                takeLap(readSlots(definition, message));
                break;
            case FITProfile::kSessionMessage:
                takeSession(readSlots(definition, message));
                break;
            default:
                break;
        }
        m_offset += definition.fieldsSize + definition.devFieldsSize;
    }

    /// Running power pods that the watch does not know write their power as a developer field;
    /// such a field named "Power" in watts stands in for the standard one.
    void takeFieldDescription(const MessageDefinition& definition, const std::uint8_t* message) {
        using namespace FITProfile::DescriptionSlot;
        SlotValues slots = readSlots(definition, message);
        if (!slots.has(developerDataIndex) || !slots.has(fieldNumber)) return;
        auto key = devFieldKey(slots[developerDataIndex], slots[fieldNumber]);
        m_devPowerFields.erase(key);
        if (!slots.has(baseType) || textField(message, definition.fieldName) != "Power" ||
            textField(message, definition.units) != "Watts") {
            return;
        }
        auto type = FITProfile::numericType(static_cast<std::uint8_t>(slots[baseType]));
        if (!type) return;
        DevPowerField field{*type};
        if (slots.has(scale) && slots[scale] != 0) field.scale = slots[scale];
        if (slots.has(offset)) field.offset = static_cast<std::int8_t>(slots[offset]);
        m_devPowerFields[key] = field;
    }

    void takeRecord(const SlotValues& slots, std::optional<std::uint32_t> headerTimestamp,
                    std::optional<double> devPower) {
        using namespace FITProfile::RecordSlot;
        std::optional<std::uint32_t> time =
            slots.has(timestamp) ? slots[timestamp] : headerTimestamp;
        if (!time) return;
        // Set before the position check: records without a fix still anchor later
        // compressed timestamps.
        m_lastTimestamp = *time;
        bool placed = slots.has(latitude) && slots.has(longitude);
        ensureRoomForTrackpoint();
        ImportedTrackpoint& point = (placed ? m_trackpoints : m_unplacedPoints).emplace_back();
        if (placed) {
            point.latitude = semicirclesToDegrees(slots[latitude]);
            point.longitude = semicirclesToDegrees(slots[longitude]);
        }
        if (slots.has(enhancedAltitude)) {
            point.altitude = scaledAltitude(slots[enhancedAltitude]);
        } else if (slots.has(altitude)) {
            point.altitude = scaledAltitude(slots[altitude]);
        }
        point.timestamp = dateFromFITTimestamp(*time);
        point.heartRate = optionalSlot(slots, heartRate);
        if (slots.has(distance)) point.distance = slots[distance] / 100.0;
        if (slots.has(power)) {
            m_hasStandardPower = true;
            point.power = plausiblePower(slots[power]);
        }
        point.cadence = recordCadence(slots);
        if (devPower) {
            std::size_t index = (placed ? m_trackpoints : m_unplacedPoints).size() - 1;
            m_devPower.push_back({placed, index, *devPower});
        }
    }

    void takeLap(const SlotValues& slots) {
        using namespace FITProfile::LapSlot;
        ensureRoomForLap();
        ImportedLapSummary& lap = m_lapSummaries.emplace_back();
        lap.totalTimeSeconds = slots.has(totalTimerTime) ? slots[totalTimerTime] / 1000.0 : 0;
        lap.distanceMeters = slots.has(totalDistance) ? slots[totalDistance] / 100.0 : 0;
        lap.calories = slots.has(totalCalories) ? slots[totalCalories] : 0;
        lap.averageHeartRate = optionalSlot(slots, avgHeartRate);
        lap.maxHeartRate = optionalSlot(slots, maxHeartRate);
        if (slots.has(startTime)) lap.startTime = dateFromFITTimestamp(slots[startTime]);
    }

    void ensureRoomForLap() const {
        if (m_lapSummaries.size() < kMaximumLapCount) return;
        throw RideImportError::parsingFailed("FIT: more than " + std::to_string(kMaximumLapCount) +
                                             " laps");
    }

    void ensureRoomForTrackpoint() const {
        if (m_trackpoints.size() + m_unplacedPoints.size() < m_maximumTrackpoints) return;
        throw RideImportError::parsingFailed("FIT: more than " +
                                             std::to_string(m_maximumTrackpoints) + " trackpoints");
    }

    void takeSession(const SlotValues& slots) {
        using namespace FITProfile::SessionSlot;
        if (slots.has(sport)) m_sessionSport = static_cast<std::uint8_t>(slots[sport]);
        if (slots.has(subSport)) m_sessionSubSport = static_cast<std::uint8_t>(slots[subSport]);
        ensureRoomForSession();
        ImportedSession& session = m_sessions.emplace_back();
        if (slots.has(startTime)) session.startTime = dateFromFITTimestamp(slots[startTime]);
        if (slots.has(totalElapsedTime)) session.elapsedSeconds = slots[totalElapsedTime] / 1000.0;
        if (slots.has(totalDistance)) session.distanceMeters = slots[totalDistance] / 100.0;
        // A session without a sport of its own keeps the sport of the one before.
        if (m_sessionSport) {
            auto sub =
                slots.has(subSport) ? static_cast<std::uint8_t>(slots[subSport]) : std::uint8_t{0};
            session.activityType = FITProfile::activityTypeForSport(*m_sessionSport, sub);
            session.transition = FITProfile::isTransition(*m_sessionSport, sub);
        }
    }

    void ensureRoomForSession() const {
        if (m_sessions.size() < kMaximumLapCount) return;
        throw RideImportError::parsingFailed("FIT: more than " + std::to_string(kMaximumLapCount) +
                                             " sessions");
    }

    ImportedActivity result() {
        if (!m_hasStandardPower) {
            for (const DevPowerSample& sample : m_devPower)
                (sample.placed ? m_trackpoints : m_unplacedPoints)[sample.index].power =
                    sample.watts;
        }
        ImportedActivity activity;
        activity.trackpoints = std::move(m_trackpoints);
        activity.lapSummaries = std::move(m_lapSummaries);
        activity.unplacedPoints = std::move(m_unplacedPoints);
        activity.sessions = std::move(m_sessions);
        if (m_sessionSport) {
            activity.activityType =
                FITProfile::activityTypeForSport(*m_sessionSport, m_sessionSubSport.value_or(0));
        }
        return activity;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_maximumTrackpoints;
    std::size_t m_offset = 0;
    std::array<MessageDefinition, kLocalTypeCount> m_definitions;
    std::vector<ImportedTrackpoint> m_trackpoints;
    std::vector<ImportedLapSummary> m_lapSummaries;
    std::vector<ImportedTrackpoint> m_unplacedPoints;
    std::vector<ImportedSession> m_sessions;
    std::uint32_t m_lastTimestamp = 0;
    std::optional<std::uint8_t> m_sessionSport;
    std::optional<std::uint8_t> m_sessionSubSport;
    /// Developer fields that carry power, by developer data index and field number.
    std::map<std::uint16_t, DevPowerField> m_devPowerFields;
    /// Power from a developer field by point, used only when the file has no standard power.
    struct DevPowerSample {
        bool placed;  // in the trackpoints, or else in the points without a position
        std::size_t index;
        double watts;
    };
    std::vector<DevPowerSample> m_devPower;
    bool m_hasStandardPower = false;
};

}  // namespace

ImportedActivity FITParser::parseDocument(const std::uint8_t* data, std::size_t size) {
    return FITDecoder(data, size, m_maximumTrackpoints).decode();
}

}  // namespace vantrel
