#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <initializer_list>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "import/FITParser.h"
#include "import/FITProfile.h"
#include "import/RideImportError.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

constexpr std::uint16_t kFileId = 0;
constexpr std::uint16_t kSession = 18;
constexpr std::uint16_t kLap = 19;
constexpr std::uint16_t kRecord = 20;
constexpr std::uint32_t kFITEpochUnix = 631065600;

struct Field {
    std::uint8_t number;
    std::uint8_t size;
};

/// Writes FIT files message by message, encoding each value in its definition's byte order.
class FITBuilder {
  public:
    FITBuilder& define(std::uint8_t localType, std::uint16_t global, std::vector<Field> fields,
                       std::uint8_t architecture = 0, std::vector<Field> devFields = {}) {
        bool bigEndian = architecture == 1;
        m_records.push_back(
            static_cast<std::uint8_t>(0x40 | (devFields.empty() ? 0 : 0x20) | localType));
        m_records.insert(m_records.end(), {0, architecture});
        appendInteger(global, 2, bigEndian);
        appendTriples(fields);
        if (!devFields.empty()) appendTriples(devFields);
        m_definitions[localType] = {bigEndian, fields, devFields};
        return *this;
    }

    FITBuilder& data(std::uint8_t localType, std::initializer_list<std::uint64_t> values) {
        m_records.push_back(localType);
        return appendValues(localType, values);
    }

    FITBuilder& compressed(std::uint8_t localType, std::uint8_t timeOffset,
                           std::initializer_list<std::uint64_t> values) {
        m_records.push_back(static_cast<std::uint8_t>(0x80 | (localType << 5) | timeOffset));
        return appendValues(localType, values);
    }

    FITBuilder& raw(std::initializer_list<std::uint8_t> bytes) {
        m_records.insert(m_records.end(), bytes);
        return *this;
    }

    /// A whole file: header of `headerSize` bytes, the records, and two (zero) CRC bytes.
    Bytes build(std::uint8_t headerSize = 14) const {
        Bytes file(headerSize, 0);
        file[0] = headerSize;
        file[1] = 0x20;
        auto dataSize = static_cast<std::uint32_t>(m_records.size());
        for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(dataSize >> (8 * i));
        file[8] = '.', file[9] = 'F', file[10] = 'I', file[11] = 'T';
        file.insert(file.end(), m_records.begin(), m_records.end());
        file.insert(file.end(), {0, 0});
        return file;
    }

  private:
    struct Definition {
        bool bigEndian;
        std::vector<Field> fields;
        std::vector<Field> devFields;
    };

    void appendInteger(std::uint64_t value, std::size_t size, bool bigEndian) {
        for (std::size_t i = 0; i < size; ++i) {
            std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
            m_records.push_back(shift < 64 ? static_cast<std::uint8_t>(value >> shift) : 0);
        }
    }

    void appendTriples(const std::vector<Field>& fields) {
        m_records.push_back(static_cast<std::uint8_t>(fields.size()));
        for (const Field& field : fields)
            m_records.insert(m_records.end(), {field.number, field.size, 0x86});
    }

    FITBuilder& appendValues(std::uint8_t localType, std::initializer_list<std::uint64_t> values) {
        const Definition& definition = m_definitions.at(localType);
        auto value = values.begin();
        for (const Field& field : definition.fields) {
            appendInteger(value == values.end() ? 0 : *value++, field.size, definition.bigEndian);
        }
        for (const Field& field : definition.devFields)
            m_records.insert(m_records.end(), field.size, 0xA5);
        return *this;
    }

    Bytes m_records;
    std::map<std::uint8_t, Definition> m_definitions;
};

ImportedActivity parse(const Bytes& bytes) {
    return FITParser().parse(bytes);
}

FITParseError::Kind parseErrorKind(const Bytes& bytes) {
    try {
        parse(bytes);
    } catch (const FITParseError& error) {
        bool truncated = error.kind() == FITParseError::Kind::truncatedData;
        EXPECT_STREQ(error.what(), truncated ? "FIT file is truncated." : "Not a valid FIT file.");
        return error.kind();
    }
    ADD_FAILURE() << "no FITParseError";
    return {};
}

std::string importErrorText(const Bytes& bytes) {
    try {
        parse(bytes);
    } catch (const RideImportError& error) {
        EXPECT_EQ(error.kind(), RideImportError::Kind::parsingFailed);
        return error.what();
    }
    ADD_FAILURE() << "no RideImportError";
    return {};
}

Date fitDate(std::uint32_t fitSeconds) {
    return dateFromUnix(double(fitSeconds) + kFITEpochUnix);
}

const std::vector<Field> kPositionRecord{{253, 4}, {0, 4}, {1, 4}};

TEST(FITParserHeader, RejectsShortOrMalformedHeadersInCheckOrder) {
    Bytes valid = FITBuilder().build();
    EXPECT_EQ(parseErrorKind(Bytes(valid.begin(), valid.begin() + 11)),
              FITParseError::Kind::truncatedData);

    Bytes smallHeaderSize = valid;
    smallHeaderSize[0] = 10;
    smallHeaderSize[8] = 'X';  // the header size is judged before the signature
    EXPECT_EQ(parseErrorKind(smallHeaderSize), FITParseError::Kind::truncatedData);

    Bytes headerBeyondFile = FITBuilder().build(14);
    headerBeyondFile[0] = 40;
    EXPECT_EQ(parseErrorKind(headerBeyondFile), FITParseError::Kind::truncatedData);

    Bytes badSignature = valid;
    badSignature[11] = 't';
    badSignature[4] = 0xFF;  // the signature is judged before the data size
    EXPECT_EQ(parseErrorKind(badSignature), FITParseError::Kind::invalidSignature);

    Bytes dataBeyondFile = valid;
    dataBeyondFile[4] = 3;  // 3 announced record bytes, only the 2 CRC bytes follow
    EXPECT_EQ(parseErrorKind(dataBeyondFile), FITParseError::Kind::truncatedData);
}

TEST(FITParserHeader, IgnoresCRCsMissingCRCAndChainedFiles) {
    FITBuilder builder;
    builder.define(0, kRecord, kPositionRecord).data(0, {1000, 1 << 29, 1 << 28});
    Bytes file = builder.build(14);
    file[12] = 0xDE, file[13] = 0xAD;
    file[file.size() - 2] = 0xBE, file[file.size() - 1] = 0xEF;
    EXPECT_EQ(parse(file).trackpoints.size(), 1u);

    file.resize(file.size() - 2);
    EXPECT_EQ(parse(file).trackpoints.size(), 1u);

    // A second FIT file after the first one's records is not read, even when it is broken.
    Bytes chained = builder.build(12);
    chained.insert(chained.end(),
                   {0x0E, 0x10, 0, 0, 0x7F, 0, 0, 0, '.', 'F', 'I', 'T', 0, 0, 0x05});
    EXPECT_EQ(parse(chained).trackpoints.size(), 1u);
}

TEST(FITParserHeader, RecordsMayBeginAfterALongerHeader) {
    Bytes file = FITBuilder().define(0, kRecord, kPositionRecord).data(0, {5, 0, 0}).build(20);
    ASSERT_EQ(parse(file).trackpoints.size(), 1u);
    EXPECT_EQ(parse(file).trackpoints[0].timestamp, fitDate(5));
}

TEST(FITParserMessages, DecodesBigEndianOnlyForArchitectureOne) {
    for (std::uint8_t architecture : {0, 1, 7}) {
        Bytes file =
            FITBuilder()
                .define(2, kRecord, {{253, 4}, {0, 4}, {1, 4}, {78, 4}, {3, 1}}, architecture)
                .data(2, {0x12345678, 0x20000000, 0xE0000000, 3000, 150})
                .build();
        ImportedActivity activity = parse(file);
        ASSERT_EQ(activity.trackpoints.size(), 1u) << int(architecture);
        const ImportedTrackpoint& point = activity.trackpoints[0];
        EXPECT_EQ(point.timestamp, fitDate(0x12345678));
        EXPECT_DOUBLE_EQ(point.latitude, 45.0);
        EXPECT_DOUBLE_EQ(point.longitude, -45.0);
        EXPECT_EQ(point.altitude, 100.0);
        EXPECT_EQ(point.heartRate, 150.0);
    }
}

TEST(FITParserMessages, UndefinedLocalTypeFailsWithItsNumber) {
    Bytes plain = FITBuilder().define(0, kRecord, kPositionRecord).raw({0x05}).build();
    EXPECT_EQ(importErrorText(plain), "Failed to parse file: FIT: undefined local message type 5");

    Bytes compressed = FITBuilder().raw({0x80 | (3 << 5) | 4}).build();
    EXPECT_EQ(importErrorText(compressed),
              "Failed to parse file: FIT: undefined local message type 3");
}

TEST(FITParserMessages, MessagesRunningPastTheFileAreTruncated) {
    Bytes shortDefinition = FITBuilder().raw({0x40, 0, 0, 20}).build();
    shortDefinition.resize(shortDefinition.size() - 2);
    EXPECT_EQ(parseErrorKind(shortDefinition), FITParseError::Kind::truncatedData);

    Bytes missingTriples = FITBuilder().raw({0x40, 0, 0, 20, 0, 200, 0, 4, 0x86}).build();
    EXPECT_EQ(parseErrorKind(missingTriples), FITParseError::Kind::truncatedData);

    Bytes missingDevCount = FITBuilder().raw({0x60, 0, 0, 20, 0, 0}).build();
    missingDevCount.resize(missingDevCount.size() - 2);
    EXPECT_EQ(parseErrorKind(missingDevCount), FITParseError::Kind::truncatedData);

    Bytes missingDevTriples = FITBuilder().raw({0x60, 0, 0, 20, 0, 0, 9, 0, 4}).build();
    EXPECT_EQ(parseErrorKind(missingDevTriples), FITParseError::Kind::truncatedData);

    // 255 fields of 255 bytes announce 65 kB of data; the file has three.
    FITBuilder huge;
    huge.define(0, 99, std::vector<Field>(255, Field{7, 255})).raw({0x00, 1});
    EXPECT_EQ(parseErrorKind(huge.build()), FITParseError::Kind::truncatedData);
}

TEST(FITParserMessages, MessageCrossingTheRecordsEndIsReadWhenTheFileHoldsIt) {
    Bytes file = FITBuilder().define(0, kRecord, kPositionRecord).data(0, {9, 1, 2}).build();
    file[4] -= 4;  // the records now end inside the data message, but the file holds it all
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 1u);
    EXPECT_EQ(activity.trackpoints[0].timestamp, fitDate(9));
}

TEST(FITParserMessages, SkipsDeveloperFieldsAndUnknownMessages) {
    Bytes file = FITBuilder()
                     .define(0, kFileId, {{0, 1}, {4, 4}})
                     .data(0, {4, 12345})
                     .define(1, kRecord, kPositionRecord, 0, {{0, 3}, {1, 1}})
                     .data(1, {10, 100, 200})
                     .data(1, {11, 101, 201})
                     .define(0, 0xFF00, {{0, 7}}, 1, {{2, 9}})
                     .data(0, {0})
                     .data(1, {12, 102, 202})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 3u);
    EXPECT_EQ(activity.trackpoints[2].timestamp, fitDate(12));
    EXPECT_DOUBLE_EQ(activity.trackpoints[2].latitude, 102 * FITProfile::kDegreesPerSemicircle);
}

TEST(FITParserMessages, RedefiningALocalTypeReplacesItsDefinition) {
    Bytes file = FITBuilder()
                     .define(0, kLap, {{9, 4}})
                     .data(0, {500})
                     .define(0, kRecord, kPositionRecord)
                     .data(0, {1, 2, 3})
                     .build();
    ImportedActivity activity = parse(file);
    EXPECT_EQ(activity.lapSummaries.size(), 1u);
    EXPECT_EQ(activity.trackpoints.size(), 1u);
}

TEST(FITParserRecords, FieldsCountOnlyWithTheirExpectedSize) {
    // Altitude as 4 bytes and heart rate as 2 are stepped over; a 4-byte position still decodes.
    Bytes file = FITBuilder()
                     .define(0, kRecord, {{253, 4}, {2, 4}, {3, 2}, {0, 4}, {1, 4}})
                     .data(0, {7, 3000, 140, 1, 1})
                     .define(1, kRecord, {{253, 4}, {0, 8}, {1, 4}})
                     .data(1, {8, 1, 1})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 1u);
    EXPECT_FALSE(activity.trackpoints[0].altitude);
    EXPECT_FALSE(activity.trackpoints[0].heartRate);
}

TEST(FITParserRecords, AltitudeAndHeartRateRules) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, {{253, 4}, {0, 4}, {1, 4}, {2, 2}, {78, 4}, {3, 1}})
                     .data(0, {1, 1, 1, 3000, 3500, 255})
                     .data(0, {2, 1, 1, 2500, 0xFFFFFFFF, 0})
                     .data(0, {3, 1, 1, 0xFFFF, 0xFFFFFFFF, 254})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 3u);
    EXPECT_EQ(activity.trackpoints[0].altitude, 200.0);
    EXPECT_FALSE(activity.trackpoints[0].heartRate);
    EXPECT_EQ(activity.trackpoints[1].altitude, 0.0);
    EXPECT_EQ(activity.trackpoints[1].heartRate, 0.0);
    EXPECT_FALSE(activity.trackpoints[2].altitude);
    EXPECT_EQ(activity.trackpoints[2].heartRate, 254.0);
}

TEST(FITParserRecords, PositionAndTimeConversion) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, kPositionRecord)
                     .data(0, {0, 0x40000000, 0x80000000})
                     .data(0, {0xFFFFFFFE, 0xC0000000, 0x7FFFFFFE})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 2u);
    EXPECT_DOUBLE_EQ(activity.trackpoints[0].latitude, 90.0);
    EXPECT_DOUBLE_EQ(activity.trackpoints[0].longitude, -180.0);
    EXPECT_EQ(unixFromDate(activity.trackpoints[0].timestamp), 631065600.0);
    EXPECT_DOUBLE_EQ(activity.trackpoints[1].latitude, -90.0);
    EXPECT_EQ(activity.trackpoints[1].timestamp, fitDate(0xFFFFFFFE));
}

TEST(FITParserRecords, RecordsWithoutPositionOrTimeYieldNoPoint) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, kPositionRecord)
                     .data(0, {100, 0x7FFFFFFF, 5})
                     .data(0, {101, 5, 0x7FFFFFFF})
                     .data(0, {0xFFFFFFFF, 5, 5})
                     .define(1, kRecord, {{253, 4}, {3, 1}})
                     .data(1, {102, 120})
                     .build();
    EXPECT_TRUE(parse(file).trackpoints.empty());
}

TEST(FITParserRecords, LastValidOccurrenceOfARepeatedFieldWins) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, {{253, 4}, {0, 4}, {1, 4}, {3, 1}, {3, 1}, {3, 1}})
                     .data(0, {1, 1, 1, 100, 110, 0xFF})
                     .build();
    EXPECT_EQ(parse(file).trackpoints.at(0).heartRate, 110.0);
}

TEST(FITParserTimestamps, CompressedHeadersReplaceTheLowFiveBits) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, {{253, 4}, {0, 4}, {1, 4}})
                     .define(1, kRecord, {{0, 4}, {1, 4}})
                     .data(0, {1000, 0x7FFFFFFF, 0})  // no position, still the reference time
                     .compressed(1, 12, {1, 1})
                     .compressed(1, 3, {1, 1})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 2u);
    EXPECT_EQ(activity.trackpoints[0].timestamp, fitDate(1004));
    EXPECT_EQ(activity.trackpoints[1].timestamp, fitDate(1027));
}

TEST(FITParserTimestamps, OwnTimestampWinsAndLapTimestampsAreNoReference) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, {{253, 4}, {0, 4}, {1, 4}})
                     .define(1, kLap, {{253, 4}})
                     .define(2, kRecord, {{0, 4}, {1, 4}})
                     .data(0, {64, 1, 1})
                     .compressed(0, 1, {5000, 1, 1})  // carries 65 but its own 5000 wins
                     .data(1, {9999})                 // a lap's timestamp is not a reference
                     .compressed(2, 2, {1, 1})
                     .compressed(1, 10, {0})  // any message advances the reference
                     .compressed(2, 11, {1, 1})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 4u);
    EXPECT_EQ(activity.trackpoints[1].timestamp, fitDate(5000));
    EXPECT_EQ(activity.trackpoints[2].timestamp, fitDate(5026));
    EXPECT_EQ(activity.trackpoints[3].timestamp, fitDate(5035));
}

TEST(FITParserTimestamps, CompressedHeaderBeforeAnyTimeCountsFromTheEpoch) {
    Bytes file = FITBuilder().define(0, kRecord, {{0, 4}, {1, 4}}).compressed(0, 7, {1, 1}).build();
    EXPECT_EQ(parse(file).trackpoints.at(0).timestamp, fitDate(7));
}

TEST(FITParserLaps, EveryLapMessageGivesASummary) {
    Bytes file = FITBuilder()
                     .define(0, kLap, {{8, 4}})
                     .data(0, {3600000})
                     .define(1, kLap, {{8, 4}, {9, 4}, {11, 2}, {15, 1}, {16, 1}})
                     .data(1, {90500, 123456, 321, 140, 171})
                     .data(1, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 0xFF, 0xFF})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.lapSummaries.size(), 3u);
    EXPECT_EQ(activity.lapSummaries[0],
              (ImportedLapSummary{3600, 0, 0, std::nullopt, std::nullopt}));
    EXPECT_EQ(activity.lapSummaries[1], (ImportedLapSummary{90.5, 1234.56, 321, 140.0, 171.0}));
    EXPECT_EQ(activity.lapSummaries[2], (ImportedLapSummary{0, 0, 0, std::nullopt, std::nullopt}));
}

TEST(FITParserLaps, LapCountIsCappedAgainstOneByteLapFloods) {
    auto lapFlood = [](std::size_t count) {
        FITBuilder builder;
        builder.define(0, kLap, {});
        Bytes file = builder.build();
        Bytes messages(count, 0x00);  // each byte is a whole lap message without fields
        file.insert(file.end() - 2, messages.begin(), messages.end());
        std::uint32_t dataSize = 6 + static_cast<std::uint32_t>(count);
        for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(dataSize >> (8 * i));
        return file;
    };
    EXPECT_EQ(parse(lapFlood(100'000)).lapSummaries.size(), 100'000u);
    EXPECT_EQ(importErrorText(lapFlood(100'001)),
              "Failed to parse file: FIT: more than 100000 laps");
}

// About 300 bytes of 9-byte position records, the smallest message a trackpoint comes from.
TEST(FITParserRecords, TrackpointCountIsCappedAgainstSmallFilesThatExpand) {
    FITBuilder builder;
    builder.define(0, kRecord, {{0, 4}, {1, 4}});
    for (std::uint64_t i = 0; i < 30; ++i)
        builder.compressed(0, static_cast<std::uint8_t>(i % 32), {i, i});
    Bytes file = builder.build();
    ASSERT_LE(file.size(), 300u);
    EXPECT_EQ(parse(file).trackpoints.size(), 30u);
    EXPECT_EQ(FITParser(30).parse(file).trackpoints.size(), 30u);
    try {
        FITParser(29).parse(file);
        ADD_FAILURE() << "no RideImportError";
    } catch (const RideImportError& error) {
        EXPECT_EQ(error.kind(), RideImportError::Kind::parsingFailed);
        EXPECT_STREQ(error.what(), "Failed to parse file: FIT: more than 29 trackpoints");
    }
}

std::optional<ActivityType> typeOfSessions(
    std::initializer_list<std::pair<std::uint64_t, std::uint64_t>> sessions) {
    FITBuilder builder;
    builder.define(0, kSession, {{5, 1}, {6, 1}});
    for (auto [sport, subSport] : sessions) builder.data(0, {sport, subSport});
    return parse(builder.build()).activityType;
}

TEST(FITParserSessions, SportMappingThroughSessions) {
    EXPECT_EQ(typeOfSessions({}), std::nullopt);
    EXPECT_EQ(typeOfSessions({{2, 7}}), ActivityType::roadCycling);
    EXPECT_EQ(typeOfSessions({{2, 0xFF}}), ActivityType::cycling);
    EXPECT_EQ(typeOfSessions({{4, 0}}), ActivityType::other);
    EXPECT_EQ(typeOfSessions({{0xFF, 3}}), std::nullopt);
    // A later valid value overwrites; an invalid one keeps what an earlier session set.
    EXPECT_EQ(typeOfSessions({{2, 3}, {1, 0xFF}}), ActivityType::trailRunning);
    EXPECT_EQ(typeOfSessions({{1, 3}, {0xFF, 0}}), ActivityType::running);

    Bytes sportOnly = FITBuilder().define(0, kSession, {{5, 1}}).data(0, {1}).build();
    EXPECT_EQ(parse(sportOnly).activityType, ActivityType::running);
}

TEST(FITParserSessions, SportTable) {
    using FITProfile::activityTypeForSport;
    const std::vector<std::tuple<int, int, ActivityType>> table{
        {1, 3, ActivityType::trailRunning},   {1, 0, ActivityType::running},
        {2, 5, ActivityType::indoorCycling},  {2, 6, ActivityType::indoorCycling},
        {2, 7, ActivityType::roadCycling},    {2, 8, ActivityType::mountainBiking},
        {2, 9, ActivityType::mountainBiking}, {2, 10, ActivityType::cycling},
        {2, 11, ActivityType::gravelCycling}, {2, 58, ActivityType::cycling},
        {5, 17, ActivityType::swimming},      {11, 3, ActivityType::walking},
        {17, 0, ActivityType::hiking},        {21, 7, ActivityType::eBiking},
        {3, 0, ActivityType::other},          {0, 0, ActivityType::other},
        {1, 1, ActivityType::treadmill},      {4, 1, ActivityType::treadmill},
        {4, 6, ActivityType::indoorCycling},  {4, 0, ActivityType::other},
    };
    for (auto [sport, subSport, expected] : table) {
        EXPECT_EQ(activityTypeForSport(sport, subSport), expected) << sport << "/" << subSport;
    }
}

TEST(FITParserSessions, SessionsKeepTheirSpanDistanceKindAndTransitions) {
    Bytes file = FITBuilder()
                     .define(0, kSession, {{5, 1}, {6, 1}, {2, 4}, {7, 4}, {9, 4}})
                     .data(0, {5, 18, 1000, 600500, 75000})
                     .data(0, {3, 0, 1601, 90000, 0xFFFFFFFF})
                     .data(0, {2, 6, 1700, 0xFFFFFFFF, 2000000})
                     .data(0, {1, 33, 5000, 1000, 0})
                     .build();
    auto sessions = parse(file).sessions;
    ASSERT_EQ(sessions.size(), 4u);
    EXPECT_EQ(sessions[0],
              (ImportedSession{fitDate(1000), 600.5, 750.0, ActivityType::swimming, false}));
    EXPECT_TRUE(sessions[1].transition);
    EXPECT_EQ(sessions[1].distanceMeters, std::nullopt);
    EXPECT_EQ(sessions[2].activityType, ActivityType::indoorCycling);
    EXPECT_EQ(sessions[2].elapsedSeconds, std::nullopt);
    // A run-to-bike change is a transition whatever sport it carries.
    EXPECT_TRUE(sessions[3].transition);
}

TEST(FITParserRecords, RecordsWithoutPositionAreKeptApartWithTheirDistance) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, {{253, 4}, {0, 4}, {1, 4}, {3, 1}, {5, 4}})
                     .data(0, {100, 0x7FFFFFFF, 0x7FFFFFFF, 121, 150})
                     .data(0, {101, 5, 5, 122, 0xFFFFFFFF})
                     .define(1, kLap, {{2, 4}, {8, 4}})
                     .data(1, {100, 1000})
                     .build();
    ImportedActivity activity = parse(file);
    ASSERT_EQ(activity.trackpoints.size(), 1u);
    ASSERT_EQ(activity.unplacedPoints.size(), 1u);
    EXPECT_EQ(activity.unplacedPoints[0].timestamp, fitDate(100));
    EXPECT_EQ(activity.unplacedPoints[0].heartRate, 121);
    EXPECT_EQ(activity.unplacedPoints[0].distance, 1.5);
    EXPECT_EQ(activity.trackpoints[0].distance, std::nullopt);
    EXPECT_EQ(activity.lapSummaries.at(0).startTime, fitDate(100));
}

// ---- Real files against the manifest's reference values ----

struct CorpusReference {
    std::string file;
    std::size_t trackpoints = 0;
    std::size_t laps = 0;
    std::optional<std::string> firstTime;
    std::optional<std::string> lastTime;
    double lapDistance = 0;
    std::optional<ActivityType> activityType;
};

std::optional<std::string> optionalText(simdjson::dom::element element) {
    if (element.is_null()) return std::nullopt;
    return std::string(std::string_view(element));
}

/// The activity kind the last session with a sport gives, as the decoder keeps it.
std::optional<ActivityType> expectedType(simdjson::dom::array sessions) {
    std::optional<std::pair<std::uint8_t, std::uint8_t>> codes;
    for (simdjson::dom::element session : sessions) {
        if (session["sport"].is_null()) continue;
        auto subSport = session["sub_sport"];
        codes = {static_cast<std::uint8_t>(std::int64_t(session["sport"])),
                 subSport.is_null() ? std::uint8_t(0)
                                    : static_cast<std::uint8_t>(std::int64_t(subSport))};
    }
    if (!codes) return std::nullopt;
    return FITProfile::activityTypeForSport(codes->first, codes->second);
}

std::vector<CorpusReference> fitReferences() {
    static simdjson::dom::parser parser;
    simdjson::dom::element manifest = parser.load(test::corpusFile("MANIFEST.json").string());
    std::vector<CorpusReference> references;
    for (simdjson::dom::element entry : manifest["files"].get_array()) {
        if (std::string_view(entry["format"]) != "fit") continue;
        simdjson::dom::element reference = entry["reference"];
        // Only the first FIT file of a chain is decoded.
        simdjson::dom::element firstOnly;
        if (reference["first_fit_file_only"].get(firstOnly) == simdjson::SUCCESS)
            reference = firstOnly;
        references.push_back(
            {std::string(std::string_view(entry["file"])),
             std::size_t(std::int64_t(reference["records_with_position_and_timestamp"])),
             std::size_t(std::int64_t(reference["lap_messages"])),
             optionalText(reference["first_timestamp"]), optionalText(reference["last_timestamp"]),
             double(reference["lap_total_distance_sum_m"]), expectedType(reference["sessions"])});
    }
    return references;
}

std::string isoSeconds(Date date) {
    auto seconds = static_cast<std::time_t>(std::floor(unixFromDate(date)));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

/// Files whose defect the decoder reports instead of decoding, with the reason.
const std::map<std::string, std::string> kExpectedTruncated{
    // The header announces 19 more record bytes than the file holds.
    {"fitparse__strava-android-app.fit", "data size beyond the file"},
    // A corrupt definition (architecture 0xE5) is read little-endian, and the data message it
    // defines runs past the end of the file; the reference tools stop or recover before it.
    {"gpsbabel__lezyne-super-gps-bad-endian.fit", "corrupt definition"},
};

TEST(FITParserCorpus, EveryFileMatchesItsReference) {
    std::vector<CorpusReference> references = fitReferences();
    ASSERT_GE(references.size(), 19u);
    for (const CorpusReference& reference : references) {
        SCOPED_TRACE(reference.file);
        Bytes bytes = test::readFileBytes(test::corpusFile(reference.file));
        if (kExpectedTruncated.count(reference.file)) {
            EXPECT_EQ(parseErrorKind(bytes), FITParseError::Kind::truncatedData);
            continue;
        }
        ImportedActivity activity = parse(bytes);
        ASSERT_EQ(activity.trackpoints.size(), reference.trackpoints);
        EXPECT_EQ(activity.lapSummaries.size(), reference.laps);
        if (reference.firstTime) {
            EXPECT_EQ(isoSeconds(activity.trackpoints.front().timestamp), *reference.firstTime);
            EXPECT_EQ(isoSeconds(activity.trackpoints.back().timestamp), *reference.lastTime);
        }
        double distance = 0;
        for (const ImportedLapSummary& lap : activity.lapSummaries) distance += lap.distanceMeters;
        EXPECT_NEAR(distance, reference.lapDistance, 0.006);
        EXPECT_EQ(activity.activityType, reference.activityType);
    }
}

TEST(FITParserCorpus, DecodesTrackpointValuesAsAnIndependentReaderDoes) {
    ImportedActivity activity =
        parse(test::readFileBytes(test::corpusFile("fitparse__garmin-edge-500-activity.fit")));
    ASSERT_FALSE(activity.trackpoints.empty());
    const ImportedTrackpoint& first = activity.trackpoints.front();
    EXPECT_NEAR(first.latitude, 43.713393, 5e-7);
    EXPECT_NEAR(first.longitude, -79.366066, 5e-7);
    EXPECT_NEAR(first.altitude.value_or(0), 75.2, 1e-9);
    EXPECT_EQ(first.heartRate, 161.0);
    EXPECT_EQ(isoSeconds(first.timestamp), "2011-09-25T13:00:22Z");
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

/// Power and cadence of a file's trackpoints, summed as the import summarises them.
struct SensorFigures {
    std::size_t points = 0;
    std::size_t withPower = 0;
    double meanPower = 0;
    double maxPower = 0;
    std::size_t withCadence = 0;
    double meanCadence = 0;  // over the non-zero readings
};

SensorFigures sensorFigures(const ImportedActivity& activity) {
    SensorFigures figures;
    figures.points = activity.trackpoints.size();
    double powerSum = 0, cadenceSum = 0;
    for (const auto& point : activity.trackpoints) {
        if (point.power) {
            ++figures.withPower;
            powerSum += *point.power;
            figures.maxPower = std::max(figures.maxPower, *point.power);
        }
        if (point.cadence && *point.cadence > 0) {
            ++figures.withCadence;
            cadenceSum += *point.cadence;
        }
    }
    if (figures.withPower) figures.meanPower = powerSum / double(figures.withPower);
    if (figures.withCadence) figures.meanCadence = cadenceSum / double(figures.withCadence);
    return figures;
}

// The expected figures were read from the same files with the FIT SDK (@garmin/fitsdk 21.217.0,
// records with position and time), not with this decoder.
TEST(FITParserPower, CorpusPowerAndCadenceMatchTheSDK) {
    struct Expected {
        const char* file;
        std::size_t points, withPower;
        double meanPower, maxPower;
        std::size_t withCadence;
        double meanCadence;
    };
    const Expected expected[] = {
        {"fitparse__developer-types-sample.fit", 3424, 3424, 218.7298, 314, 3424, 74.6942},
        {"fitparse__zwift-null-compressed-speed-dist.fit", 1808, 1808, 122.8645, 691, 1801,
         84.6002},
        {"fitparse__wahoo-elemnt-2019-02-17.fit", 13348, 13224, 103.5779, 648, 9776, 68.4912},
        {"goldencheetah__hammerhead-karoo.fit", 4314, 4312, 171.0183, 450, 4041, 75.8471},
        // Standard power and a developer "Power" field: the standard one wins. Cadence comes
        // with fractional_cadence.
        {"sportslib__fr935-triathlon-4623204522.fit", 30574, 17169, 221.7078, 536, 29392, 87.6318},
        // Only a running power pod's developer field.
        {"sportslib__fr945-openwater-multisport-6788312639.fit", 8523, 2547, 261.8755, 350, 8268,
         77.6277},
        {"fitparse__garmin-edge-500-activity.fit", 10677, 0, 0, 0, 8355, 88.5481},
    };
    for (const auto& reference : expected) {
        SCOPED_TRACE(reference.file);
        auto figures = sensorFigures(parse(test::readFileBytes(test::corpusFile(reference.file))));
        EXPECT_EQ(figures.points, reference.points);
        EXPECT_EQ(figures.withPower, reference.withPower);
        EXPECT_NEAR(figures.meanPower, reference.meanPower, 5e-5);
        EXPECT_EQ(figures.maxPower, reference.maxPower);
        EXPECT_EQ(figures.withCadence, reference.withCadence);
        EXPECT_NEAR(figures.meanCadence, reference.meanCadence, 5e-5);
    }
}

constexpr std::uint16_t kFieldDescription = 206;
const std::vector<Field> kDescriptionFields{{0, 1}, {1, 1}, {2, 1}, {3, 8}, {8, 8}};

/// The builder writes 0x86 as every developer field's data index.
constexpr std::uint8_t kDeveloper = 0x86;

/// A field description data message (local type `localType`) of developer field `field`: its
/// base type, and its name and units padded to eight bytes.
void describe(FITBuilder& builder, std::uint8_t localType, std::uint8_t field,
              std::uint8_t baseType, const std::string& name, const std::string& units) {
    builder.raw({localType, kDeveloper, field, baseType});
    for (const std::string& text : {name, units}) {
        for (std::size_t i = 0; i < 8; ++i)
            builder.raw({static_cast<std::uint8_t>(i < text.size() ? text[i] : 0)});
    }
}

/// A position record at FIT second `time` with two developer bytes of value `watts` (LE).
void devRecord(FITBuilder& builder, std::uint8_t localType, std::uint32_t time, std::uint16_t watts,
               std::uint8_t other) {
    builder.raw({localType});
    for (std::uint32_t value : {time, 100u, 200u}) {
        for (int i = 0; i < 4; ++i) builder.raw({static_cast<std::uint8_t>(value >> (8 * i))});
    }
    builder.raw({static_cast<std::uint8_t>(watts), static_cast<std::uint8_t>(watts >> 8), other});
}

TEST(FITParserPower, DeveloperPowerFieldByNameAndUnits) {
    FITBuilder builder;
    builder.define(2, kFieldDescription, kDescriptionFields);
    describe(builder, 2, 0, 0x84, "Power", "Watts");
    describe(builder, 2, 1, 0x02, "Power", "%");  // not watts: not power
    builder.define(3, kRecord, kPositionRecord, 0, {{0, 2}, {1, 1}});
    devRecord(builder, 3, 10, 250, 7);
    devRecord(builder, 3, 11, 0xFFFF, 7);  // invalid: no power
    devRecord(builder, 3, 12, 3500, 7);    // beyond any rider: dropped
    auto points = parse(builder.build()).trackpoints;
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].power, 250.0);
    EXPECT_EQ(points[1].power, std::nullopt);
    EXPECT_EQ(points[2].power, std::nullopt);
}

TEST(FITParserPower, StandardPowerWinsOverTheDeveloperField) {
    FITBuilder builder;
    builder.define(2, kFieldDescription, kDescriptionFields);
    describe(builder, 2, 0, 0x84, "Power", "Watts");
    builder.define(3, kRecord, kPositionRecord, 0, {{0, 2}, {1, 1}});
    devRecord(builder, 3, 10, 250, 0);
    // A later record of another definition carries standard power (field 7).
    builder.define(4, kRecord, {{253, 4}, {0, 4}, {1, 4}, {7, 2}});
    builder.data(4, {11, 100, 200, 180});
    auto points = parse(builder.build()).trackpoints;
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].power, std::nullopt);
    EXPECT_EQ(points[1].power, 180.0);
}

TEST(FITParserPower, ValueBoundsAndFractionalCadence) {
    Bytes file = FITBuilder()
                     .define(0, kRecord, {{253, 4}, {0, 4}, {1, 4}, {7, 2}, {4, 1}, {53, 1}})
                     .data(0, {10, 100, 200, 0, 90, 64})       // 0 W counts; 90.5 rpm
                     .data(0, {11, 100, 200, 3000, 255, 255})  // 3000 W is the limit
                     .data(0, {12, 100, 200, 3001, 254, 0})    // too much power; a sprint's cadence
                     .data(0, {13, 100, 200, 0xFFFF, 0, 0})    // invalid power; 0 rpm
                     .build();
    auto points = parse(file).trackpoints;
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].power, 0.0);
    EXPECT_EQ(points[0].cadence, 90.5);
    EXPECT_EQ(points[1].power, 3000.0);
    EXPECT_EQ(points[1].cadence, std::nullopt);
    EXPECT_EQ(points[2].power, std::nullopt);
    EXPECT_EQ(points[2].cadence, 254.0);
    EXPECT_EQ(points[3].power, std::nullopt);
    EXPECT_EQ(points[3].cadence, 0.0);
}

}  // namespace
}  // namespace vantrel
