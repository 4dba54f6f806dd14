#include <gtest/gtest.h>

#include <cmath>

#include "archive/ArchiveError.h"
#include "archive/RideArchiveExporter.h"
#include "archive/RideArchiveImporter.h"
#include "export/ExportTestRides.h"
#include "model/SeriesCodec.h"
#include "support/TestSupport.h"

namespace vantrel {
namespace {

using RideArchiveExporter::Archive;
using RideArchiveExporter::ArchivedRide;
using RideArchiveExporter::encodeArchive;
using RideArchiveImporter::decodeArchive;
using test::kMayFirst;

/// Every field set, with fixed identifiers and bytes so that the document is stable.
ArchivedRide goldenRide() {
    ArchivedRide ride;
    ride.rideID = test::uuidOf("6B29FC40-CA47-1067-B31D-00DD010662DB");
    ride.date = kMayFirst + 0.75;
    ride.duration = 754;
    ride.distance = 5000.25;
    ride.elevationGain = 0.1 + 0.2;
    ride.averageHeartRate = 142.5;
    ride.maxHeartRate = 171;
    ride.calories = 1e21;
    ride.activeTime = 700.4;
    ride.routeData = Bytes{0x00, 0x01, 0xFE, 0xFF};
    ride.heartRateData = bytesOf("[]");
    ride.healthKitUUID = test::uuidOf("6b29fc40-ca47-1067-b31d-00dd010662da");
    ride.activityType = "running";
    ride.importSource = "Strava";
    ride.deletedAt = kMayFirst + 86400;
    ride.stravaActivityId = "123";
    ride.startWeatherData = bytesOf("{}");
    ride.endWeatherData = bytesOf("null");
    ride.city = "Zürich/Bern";
    ride.startElevation = -3.5;
    ride.notes = "a \"quoted\"\nline\twith \\ and \x01";
    return ride;
}

ArchivedRide minimalRide() {
    ArchivedRide ride;
    ride.rideID = test::uuidOf("00000000-0000-4000-8000-000000000001");
    ride.date = kMayFirst;
    return ride;
}

Archive goldenArchive() {
    Archive archive;
    archive.exportDate = kMayFirst + 3600.9;
    archive.rides = {goldenRide(), minimalRide()};
    return archive;
}

std::string encodedText(const Archive& archive) {
    return textOf(encodeArchive(archive));
}

std::string archiveWithRide(const std::string& rideMembers) {
    return R"({"appName":"Vantrel","exportDate":"2024-05-01T07:30:00Z","version":1,"rides":[{)" +
           rideMembers + "}]}";
}

const std::string kRequired =
    R"("rideID":"6B29FC40-CA47-1067-B31D-00DD010662DB","date":"2024-05-01T05:30:00Z",)"
    R"("duration":1,"distance":2,"elevationGain":3,"averageHeartRate":4,"maxHeartRate":5,)"
    R"("calories":6,"activeTime":7)";

/// The description of the error that decoding `text` throws; "" when it decodes.
std::string decodeError(const std::string& text) {
    try {
        decodeArchive(bytesOf(text));
    } catch (const ArchiveError& error) {
        return error.what();
    }
    return "";
}

TEST(RideArchiveTest, EncodesSortedCompactDocument) {
    EXPECT_EQ(encodedText(goldenArchive()) + "\n",
              test::readFileText(test::testDataFile("export/two_rides_full_and_minimal.json")));
}

TEST(RideArchiveTest, EmptyArchiveHasTheFourTopLevelKeys) {
    Archive archive;
    archive.exportDate = kMayFirst;
    EXPECT_EQ(
        encodedText(archive),
        R"({"appName":"Vantrel","exportDate":"2024-05-01T05:30:00Z","rides":[],"version":1})");
}

TEST(RideArchiveTest, BuildsFromRecordsInOrderWithStoredBytes) {
    setClockForTesting([] { return kMayFirst; });
    auto first = std::make_shared<PersistedRide>(test::fullRide(kMayFirst, 300));
    auto second = std::make_shared<PersistedRide>();
    Archive archive = RideArchiveExporter::buildArchive({first, second});
    setClockForTesting({});
    EXPECT_EQ(archive.version, 1);
    EXPECT_EQ(archive.appName, "Vantrel");
    EXPECT_EQ(archive.exportDate, kMayFirst);
    ASSERT_EQ(archive.rides.size(), 2u);
    EXPECT_EQ(archive.rides[0].rideID, first->rideID);
    ASSERT_TRUE(first->routeData && first->routeData->front() == 0x00);  // stored packed
    EXPECT_EQ(archive.rides[0].routeData, first->routeData);
    EXPECT_EQ(archive.rides[1].rideID, second->rideID);
    EXPECT_FALSE(archive.rides[1].routeData);
}

TEST(RideArchiveTest, NonFiniteNumberFailsNamingTheKey) {
    Archive archive = goldenArchive();
    archive.rides[1].maxHeartRate = std::nan("");
    try {
        encodeArchive(archive);
        FAIL() << "encoded a NaN";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.kind(), ArchiveError::Kind::invalidNumber);
        EXPECT_EQ(error.path(), "rides[1].maxHeartRate");
    }
    archive.rides[1].maxHeartRate = 0;
    archive.rides[0].startElevation = INFINITY;
    EXPECT_THROW(encodeArchive(archive), ArchiveError);
}

TEST(RideArchiveTest, RidesWhoseDateCannotBeWrittenAreLeftOutAndNamed) {
    Archive archive = goldenArchive();
    std::vector<std::string> expected;
    for (double date : {1e15, std::nan(""), -1e20}) {
        ArchivedRide bad = minimalRide();
        bad.rideID = Uuid::random();
        bad.date = date;
        archive.rides.push_back(bad);
        expected.push_back("Skipped activity " + bad.rideID.toString() + ": its date (" +
                           (date == 1e15       ? "1e+15"
                            : std::isnan(date) ? "nan"
                                               : "-1e+20") +
                           " s after 2001) is not a time between the years 0001 and 9999.");
    }
    ArchivedRide deleted = minimalRide();
    deleted.deletedAt = 3e11;
    archive.rides.push_back(deleted);

    std::vector<std::string> skipped;
    Bytes document = encodeArchive(archive, &skipped);
    ASSERT_EQ(skipped.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(skipped.begin(), skipped.begin() + 3), expected);
    EXPECT_NE(skipped[3].find("its deletedAt (3e+11 s"), std::string::npos) << skipped[3];
    Archive decoded = decodeArchive(document);  // still a whole, readable archive
    ASSERT_EQ(decoded.rides.size(), 2u);
    EXPECT_EQ(decoded.rides[1].rideID, minimalRide().rideID);

    archive.exportDate = 1e15;
    EXPECT_THROW(encodeArchive(archive), ArchiveError);
}

TEST(RideArchiveTest, DecodesWhatItEncodesExceptTheDroppedFraction) {
    Archive archive = goldenArchive();
    Archive decoded = decodeArchive(encodeArchive(archive));
    archive.exportDate = std::floor(archive.exportDate);
    archive.rides[0].date = std::floor(archive.rides[0].date);
    EXPECT_EQ(decoded, archive);
}

TEST(RideArchiveTest, InvalidUtf8InTextsIsReplacedSoTheFileStaysReadable) {
    Archive archive;
    archive.rides = {minimalRide()};
    archive.rides[0].notes = std::string("caf\xC3\xA9 \xFF\xC3 end");
    Archive decoded = decodeArchive(encodeArchive(archive));
    EXPECT_EQ(decoded.rides[0].notes, "caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD end");
}

TEST(RideArchiveTest, ReadingRulesForOptionalsAndUnknownKeys) {
    std::string text = archiveWithRide(
        kRequired +
        R"(,"notes":null,"city":"\u0042ern\/Ost","heartRateData":"not base64!",)"
        R"("routeData":"AAEC","powerData":"AAAA","future":{"deep":[1,[2,{"x":null}]]})");
    Archive archive = decodeArchive(bytesOf(text));
    ASSERT_EQ(archive.rides.size(), 1u);
    const ArchivedRide& ride = archive.rides[0];
    EXPECT_EQ(ride.duration, 1);
    EXPECT_EQ(ride.activeTime, 7);
    EXPECT_FALSE(ride.notes);
    EXPECT_EQ(ride.city, "Bern/Ost");
    EXPECT_FALSE(ride.heartRateData);
    EXPECT_EQ(ride.routeData, (Bytes{0x00, 0x01, 0x02}));
}

TEST(RideArchiveTest, AnyVersionAndApplicationNameAreAccepted) {
    Archive archive = decodeArchive(bytesOf(
        R"({"version":2,"appName":"Other","exportDate":"2024-05-01T09:30:00+02:00","rides":[]})"));
    EXPECT_EQ(archive.version, 2);
    EXPECT_EQ(archive.appName, "Other");
    EXPECT_EQ(archive.exportDate, dateFromUnix(1714548600));
}

TEST(RideArchiveTest, BadDocumentsNameTheFailingKeyOrValue) {
    const std::string top = R"("appName":"V","version":1,"rides":[])";
    EXPECT_EQ(decodeError("{" + top + "}"), "The required key \"exportDate\" is missing.");
    EXPECT_EQ(decodeError(archiveWithRide(R"("rideID":"6B29FC40-CA47-1067-B31D-00DD010662DB")")),
              "The required key \"rides[0].date\" is missing.");
    EXPECT_EQ(decodeError(archiveWithRide(kRequired + R"(,"duration":"754")")),
              "Expected a number for \"rides[0].duration\" but found a string instead.");
    EXPECT_EQ(decodeError(archiveWithRide(kRequired + R"(,"calories":null)")),
              "Expected a number for \"rides[0].calories\" but found null instead.");
    EXPECT_EQ(
        decodeError(archiveWithRide(kRequired + R"(,"deletedAt":"2024-05-01T05:30:00.5Z")")),
        "The value \"2024-05-01T05:30:00.5Z\" of \"rides[0].deletedAt\" is not an ISO 8601 date.");
    EXPECT_EQ(decodeError(archiveWithRide(kRequired + R"(,"healthKitUUID":"x")")),
              "The value \"x\" of \"rides[0].healthKitUUID\" is not a UUID.");
    EXPECT_EQ(decodeError(archiveWithRide(kRequired + R"(,"city":7)")),
              "Expected a string for \"rides[0].city\" but found a number instead.");
    EXPECT_EQ(
        decodeError(
            R"({"version":1.5,"appName":"V","exportDate":"2024-05-01T05:30:00Z","rides":[]})"),
        "The value \"1.5\" of \"version\" is not an integer.");
    EXPECT_EQ(decodeError(
                  R"({"version":1,"appName":"V","exportDate":"2024-05-01T05:30:00Z","rides":{}})"),
              "Expected an array for \"rides\" but found an object instead.");
    EXPECT_EQ(decodeError("[]"), "Expected an object at the top level but found an array instead.");
}

TEST(RideArchiveTest, MalformedJsonIsRefused) {
    std::string valid = encodedText(goldenArchive());
    for (const std::string& text :
         {std::string(), std::string("not json"), valid + "x", valid + "{}",
          std::string("\xFF") + valid, archiveWithRide(kRequired + R"(,"distance":1e999)"),
          archiveWithRide(kRequired + R"(,"notes":"unterminated)")}) {
        EXPECT_NE(decodeError(text), "") << text.substr(0, 80);
    }
}

TEST(RideArchiveTest, EveryTruncationFailsCleanly) {
    std::string valid = encodedText(goldenArchive());
    for (std::size_t length = 0; length < valid.size(); ++length) {
        std::string description = decodeError(valid.substr(0, length));
        EXPECT_NE(description, "") << "prefix of " << length << " bytes decoded";
    }
}

TEST(RideArchiveTest, HugeStringsAndDeepNesting) {
    std::string longNotes(8'000'000, 'n');
    Archive archive =
        decodeArchive(bytesOf(archiveWithRide(kRequired + R"(,"notes":")" + longNotes + "\"")));
    EXPECT_EQ(archive.rides[0].notes->size(), longNotes.size());

    std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
    EXPECT_EQ(decodeError(archiveWithRide(kRequired + R"(,"extra":)" + deep)), "");
    EXPECT_NE(decodeError(archiveWithRide(kRequired + R"(,"notes":)" + deep)), "");
    EXPECT_NE(decodeError(std::string(100'000, '[')), "");
}

TEST(RideArchiveTest, ImportedRecordTakesArchivedValuesAndDefaultsElsewhere) {
    ArchivedRide archived = goldenRide();
    PersistedRide record = RideArchiveImporter::makeRecord(archived);
    EXPECT_EQ(RideArchiveExporter::archivedRide(record), archived);
    EXPECT_EQ(record.averagePower, 0);
    EXPECT_FALSE(record.powerData);
    EXPECT_FALSE(record.trimmedAt);
    EXPECT_TRUE(record.photos.empty());
    EXPECT_EQ(record.objectID, 0);
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

TEST(RideArchivePower, PowerKeysTravelOnlyWhenPresentAndRoundTrip) {
    PersistedRide record;
    record.rideID = test::uuidOf("00000000-0000-4000-8000-000000000002");
    record.date = kMayFirst;
    record.setPowerSamples({{Uuid::random(), kMayFirst, 250}, {Uuid::random(), kMayFirst + 1, 0}});
    record.averagePower = 125;
    record.maxPower = 250;
    record.averageCadence = 88.5;
    Archive archive;
    archive.exportDate = kMayFirst;
    archive.rides = {RideArchiveExporter::archivedRide(record)};
    std::string text = encodedText(archive);
    // Sorted among the other keys: "averageCadence" and "averagePower" before "calories",
    // "maxPower" after "maxHeartRate", "powerData" before "rideID".
    EXPECT_NE(text.find(R"("activeTime":0,"averageCadence":88.5,"averageHeartRate":0,)"
                        R"("averagePower":125,"calories":0,)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(R"("maxHeartRate":0,"maxPower":250,"powerData":")"), std::string::npos);

    PersistedRide restored = RideArchiveImporter::makeRecord(decodeArchive(bytesOf(text)).rides[0]);
    EXPECT_EQ(restored.powerData, record.powerData);
    EXPECT_EQ(restored.powerSamples(), record.powerSamples());
    EXPECT_EQ(restored.averagePower, 125);
    EXPECT_EQ(restored.maxPower, 250);
    EXPECT_EQ(restored.averageCadence, 88.5);
}

TEST(RideArchivePower, PowerThatDoesNotDecodeIsStoredAsItComes) {
    std::string text = archiveWithRide(kRequired + R"(,"powerData":"AAE=","averagePower":300)");
    PersistedRide restored = RideArchiveImporter::makeRecord(decodeArchive(bytesOf(text)).rides[0]);
    EXPECT_EQ(restored.powerData, (Bytes{0x00, 0x01}));
    EXPECT_TRUE(restored.powerSamples().empty());
    EXPECT_EQ(restored.averagePower, 300);
    // Not Base64: no series, and the activity still imports.
    text = archiveWithRide(kRequired + R"(,"powerData":"%%%")");
    EXPECT_FALSE(RideArchiveImporter::makeRecord(decodeArchive(bytesOf(text)).rides[0]).powerData);
}

}  // namespace
}  // namespace vantrel
