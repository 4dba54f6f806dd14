#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "model/ActivityType.h"

namespace vantrel::FITProfile {

inline constexpr std::uint16_t kSessionMessage = 18;
inline constexpr std::uint16_t kLapMessage = 19;
inline constexpr std::uint16_t kRecordMessage = 20;
inline constexpr std::uint16_t kFieldDescriptionMessage = 206;
/// The field description's text fields, read whole whatever their size.
inline constexpr std::uint8_t kFieldNameField = 3;
inline constexpr std::uint8_t kUnitsField = 8;

/// Seconds from 1970-01-01T00:00:00Z to the FIT epoch 1989-12-31T00:00:00Z.
inline constexpr double kFITEpochUnixSeconds = 631065600.0;
/// Degrees per semicircle: 180 / 2^31.
inline constexpr double kDegreesPerSemicircle = 8.381903171539307e-8;

/// Where a decoded value lands; each message kind numbers its own slots from 0.
namespace RecordSlot {
inline constexpr std::uint8_t latitude = 0;
inline constexpr std::uint8_t longitude = 1;
inline constexpr std::uint8_t altitude = 2;
inline constexpr std::uint8_t heartRate = 3;
inline constexpr std::uint8_t enhancedAltitude = 4;
inline constexpr std::uint8_t timestamp = 5;
inline constexpr std::uint8_t distance = 6;
inline constexpr std::uint8_t power = 7;
inline constexpr std::uint8_t cadence = 8;
inline constexpr std::uint8_t fractionalCadence = 9;
}  // namespace RecordSlot
namespace LapSlot {
inline constexpr std::uint8_t totalTimerTime = 0;
inline constexpr std::uint8_t totalDistance = 1;
inline constexpr std::uint8_t totalCalories = 2;
inline constexpr std::uint8_t avgHeartRate = 3;
inline constexpr std::uint8_t maxHeartRate = 4;
inline constexpr std::uint8_t startTime = 5;
}  // namespace LapSlot
namespace SessionSlot {
inline constexpr std::uint8_t sport = 0;
inline constexpr std::uint8_t subSport = 1;
inline constexpr std::uint8_t startTime = 2;
inline constexpr std::uint8_t totalElapsedTime = 3;
inline constexpr std::uint8_t totalDistance = 4;
}  // namespace SessionSlot
namespace DescriptionSlot {
inline constexpr std::uint8_t developerDataIndex = 0;
inline constexpr std::uint8_t fieldNumber = 1;
inline constexpr std::uint8_t baseType = 2;
inline constexpr std::uint8_t scale = 3;
inline constexpr std::uint8_t offset = 4;
}  // namespace DescriptionSlot
inline constexpr std::size_t kMaxSlots = 10;

/// A field the decoder takes: only this number with exactly this byte size counts.
struct FieldRule {
    std::uint16_t globalMessage;
    std::uint8_t fieldNumber;
    std::uint8_t size;
    std::uint8_t slot;
    std::uint32_t invalidValue;
};

inline constexpr std::array<FieldRule, 26> kFieldRules{{
    {kRecordMessage, 0, 4, RecordSlot::latitude, 0x7FFFFFFF},
    {kRecordMessage, 1, 4, RecordSlot::longitude, 0x7FFFFFFF},
    {kRecordMessage, 2, 2, RecordSlot::altitude, 0xFFFF},
    {kRecordMessage, 3, 1, RecordSlot::heartRate, 0xFF},
    {kRecordMessage, 78, 4, RecordSlot::enhancedAltitude, 0xFFFFFFFF},
    {kRecordMessage, 253, 4, RecordSlot::timestamp, 0xFFFFFFFF},
    {kRecordMessage, 5, 4, RecordSlot::distance, 0xFFFFFFFF},
    {kRecordMessage, 7, 2, RecordSlot::power, 0xFFFF},
    {kRecordMessage, 4, 1, RecordSlot::cadence, 0xFF},
    {kRecordMessage, 53, 1, RecordSlot::fractionalCadence, 0xFF},
    {kLapMessage, 8, 4, LapSlot::totalTimerTime, 0xFFFFFFFF},
    {kLapMessage, 9, 4, LapSlot::totalDistance, 0xFFFFFFFF},
    {kLapMessage, 11, 2, LapSlot::totalCalories, 0xFFFF},
    {kLapMessage, 15, 1, LapSlot::avgHeartRate, 0xFF},
    {kLapMessage, 16, 1, LapSlot::maxHeartRate, 0xFF},
    {kLapMessage, 2, 4, LapSlot::startTime, 0xFFFFFFFF},
    {kSessionMessage, 5, 1, SessionSlot::sport, 0xFF},
    {kSessionMessage, 6, 1, SessionSlot::subSport, 0xFF},
    {kSessionMessage, 2, 4, SessionSlot::startTime, 0xFFFFFFFF},
    {kSessionMessage, 7, 4, SessionSlot::totalElapsedTime, 0xFFFFFFFF},
    {kSessionMessage, 9, 4, SessionSlot::totalDistance, 0xFFFFFFFF},
    {kFieldDescriptionMessage, 0, 1, DescriptionSlot::developerDataIndex, 0xFF},
    {kFieldDescriptionMessage, 1, 1, DescriptionSlot::fieldNumber, 0xFF},
    {kFieldDescriptionMessage, 2, 1, DescriptionSlot::baseType, 0xFF},
    {kFieldDescriptionMessage, 6, 1, DescriptionSlot::scale, 0xFF},
    {kFieldDescriptionMessage, 7, 1, DescriptionSlot::offset, 0x7F},
}};

/// The rule for a field of a message, or null when the decoder steps over that field.
constexpr const FieldRule* findFieldRule(std::uint16_t globalMessage, std::uint8_t fieldNumber,
                                         std::uint8_t size) {
    for (const FieldRule& rule : kFieldRules) {
        if (rule.globalMessage == globalMessage && rule.fieldNumber == fieldNumber &&
            rule.size == size) {
            return &rule;
        }
    }
    return nullptr;
}

/// How a developer field's bytes read, from its FIT base type.
struct NumericType {
    std::uint8_t size;
    std::uint32_t invalidValue;
    bool isSigned;
    bool isFloat;
};

/// The numeric base types of up to four bytes; absent for text, bytes and 64-bit types.
std::optional<NumericType> numericType(std::uint8_t baseType);

/// Maps a FIT sport and sub-sport code to an activity kind; unknown sports give `other`.
ActivityType activityTypeForSport(std::uint8_t sport, std::uint8_t subSport);

/// Whether a session is the change between two legs of a multisport event rather than a leg.
bool isTransition(std::uint8_t sport, std::uint8_t subSport);

}  // namespace vantrel::FITProfile
